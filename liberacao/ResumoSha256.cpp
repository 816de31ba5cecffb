#include "liberacao/ResumoSha256.h"

#include "app/Erros.h"
#include "platform/Platform.h"

#include <openssl/err.h>
#include <openssl/evp.h>

#include <vector>

namespace orvalis {

namespace {

// Large enough that the per-call cost of the reads vanishes beside the hashing, small
// enough to stay in the cache.
constexpr size_t kTamanhoLeitura = 256 * 1024;

[[noreturn]] void Falhar() {
    ERR_clear_error();
    throw ErroOrvalis(QStringLiteral("Falha no cálculo do SHA-256."));
}

}  // namespace

struct ResumoSha256::Contexto {
    EVP_MD_CTX* ctx = nullptr;
    ~Contexto() { EVP_MD_CTX_free(ctx); }
};

ResumoSha256::ResumoSha256() : contexto_(std::make_unique<Contexto>()) {
    contexto_->ctx = EVP_MD_CTX_new();
    if (contexto_->ctx == nullptr ||
        EVP_DigestInit_ex(contexto_->ctx, EVP_sha256(), nullptr) != 1) {
        Falhar();
    }
}

ResumoSha256::~ResumoSha256() = default;

void ResumoSha256::Acrescentar(const char* dados, size_t tamanho) {
    if (EVP_DigestUpdate(contexto_->ctx, dados, tamanho) != 1) Falhar();
}

QByteArray ResumoSha256::Concluir() {
    QByteArray resumo(EVP_MAX_MD_SIZE, '\0');
    unsigned int tamanho = 0;
    if (EVP_DigestFinal_ex(contexto_->ctx, reinterpret_cast<unsigned char*>(resumo.data()),
                           &tamanho) != 1) {
        Falhar();
    }
    resumo.resize(static_cast<qsizetype>(tamanho));
    return resumo;
}

QByteArray ResumoSha256::De(const QByteArray& dados) {
    ResumoSha256 resumo;
    resumo.Acrescentar(dados.constData(), static_cast<size_t>(dados.size()));
    return resumo.Concluir();
}

bool ResumoSha256::DeArquivo(SequentialFile& arquivo, QByteArray* resumo, uint64_t* tamanho,
                             int64_t limite) {
    ResumoSha256 calculo;
    std::vector<char> buffer(kTamanhoLeitura);
    *tamanho = 0;
    resumo->clear();
    for (;;) {
        const int64_t lidos = arquivo.Read(buffer.data(), buffer.size());
        if (lidos < 0) return false;
        if (lidos == 0) break;
        *tamanho += static_cast<uint64_t>(lidos);
        if (limite >= 0 && *tamanho > static_cast<uint64_t>(limite)) return false;
        calculo.Acrescentar(buffer.data(), static_cast<size_t>(lidos));
    }
    *resumo = calculo.Concluir();
    return true;
}

}  // namespace orvalis
