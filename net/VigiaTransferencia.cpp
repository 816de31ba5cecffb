#include "net/VigiaTransferencia.h"

#include <Poco/Exception.h>
#include <Poco/Net/NetException.h>

#include <algorithm>
#include <string>

namespace orvalis {

namespace {

std::string Duracao(std::chrono::milliseconds duracao) {
    if (duracao.count() % 1000 == 0) return std::to_string(duracao.count() / 1000) + " s";
    return std::to_string(duracao.count()) + " ms";
}

}  // namespace

VigiaTransferencia::VigiaTransferencia(const Limites& limites)
    : limites_(limites),
      cota_(std::max<int64_t>(
          1, limites.velocidade.bytesPorSegundo * limites.velocidade.janela.count() / 1000)) {}

void VigiaTransferencia::Iniciar() {
    esperadoNaJanela_ = {};
    movidosNaJanela_ = 0;
    semMovimento_ = {};
}

std::chrono::milliseconds VigiaTransferencia::Espera(bool comInatividade) const {
    using std::chrono::milliseconds;
    const auto restante =
        std::chrono::ceil<milliseconds>(limites_.velocidade.janela - esperadoNaJanela_);
    if (restante.count() <= 0) FalharVelocidade();
    if (!comInatividade) return restante;
    const auto semMovimento = std::chrono::ceil<milliseconds>(limites_.inatividade - semMovimento_);
    if (semMovimento.count() <= 0) throw Poco::TimeoutException();
    return std::max(milliseconds(1), std::min(semMovimento, restante));
}

void VigiaTransferencia::Aguardou(std::chrono::steady_clock::duration duracao) {
    esperadoNaJanela_ += duracao;
    semMovimento_ += duracao;
}

void VigiaTransferencia::Movidos(size_t bytes) {
    if (bytes == 0) return;
    semMovimento_ = {};
    movidosNaJanela_ += static_cast<int64_t>(bytes);
    if (movidosNaJanela_ >= cota_) {
        esperadoNaJanela_ = {};
        movidosNaJanela_ = 0;
    }
}

void VigiaTransferencia::Recebidos(size_t bytes) {
    resposta_ += bytes;
    if (limites_.maiorResposta != 0 && resposta_ > limites_.maiorResposta) {
        throw Poco::Net::MessageException("Resposta do servidor maior que " +
                                          std::to_string(limites_.maiorResposta) + " bytes");
    }
}

void VigiaTransferencia::Enviados() {
    resposta_ = 0;
}

void VigiaTransferencia::FalharVelocidade() const {
    throw Poco::TimeoutException("Transferência lenta demais: menos de " + std::to_string(cota_) +
                                 " bytes em " + Duracao(limites_.velocidade.janela));
}

}  // namespace orvalis
