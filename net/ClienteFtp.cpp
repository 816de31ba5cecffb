#include "net/ClienteFtp.h"

#include "app/Erros.h"
#include "net/ResolucaoNomes.h"
#include "net/SocketVigiado.h"
#include "platform/Ansi.h"

#include <Poco/Exception.h>
#include <Poco/Net/FTPClientSession.h>
#include <Poco/Net/NetException.h>
#include <Poco/Net/StreamSocket.h>

#include <ios>
#include <istream>
#include <stdexcept>
#include <string>

namespace orvalis {

namespace {

// A release folder lists a few names; a listing of more than this is not one.
constexpr size_t kMaiorListagem = 1024 * 1024;

[[noreturn]] void Falhar(const QString& oQue, const std::exception& erro) {
    const auto* poco = dynamic_cast<const Poco::Exception*>(&erro);
    throw ErroOrvalis(oQue + QStringLiteral(": ") +
                      (poco != nullptr ? FromUtf8(poco->displayText()) : FromUtf8(erro.what())));
}

}  // namespace

// Poco's session would resolve the host without a limit and make its data connections
// itself, under none of the transfer's limits: the control connection is made here and
// handed over, and each data connection is made here too (passive mode only).
class ClienteFtp::Sessao : public Poco::Net::FTPClientSession {
  public:
    Sessao(const Poco::Net::StreamSocket& controle, const VigiaTransferencia::Limites& dados)
        : FTPClientSession(controle), dados_(dados) {}

  protected:
    Poco::Net::StreamSocket establishDataConnection(const std::string& comando,
                                                    const std::string& argumento) override {
        const Poco::Net::SocketAddress endereco = sendPassiveCommand();
        auto* conexao = new SocketVigiado(dados_);
        const Poco::Net::StreamSocket dados(conexao);
        conexao->Conectar(endereco, std::chrono::milliseconds(0));
        std::string resposta;
        const int status = sendCommand(comando, argumento, resposta);
        if (!isPositivePreliminary(status)) {
            throw Poco::Net::FTPException(comando + " command failed", resposta, status);
        }
        return dados;
    }

  private:
    VigiaTransferencia::Limites dados_;
};

ClienteFtp::ClienteFtp() = default;

ClienteFtp::~ClienteFtp() {
    Desconectar();
}

void ClienteFtp::Conectar() {
    Desconectar();
    try {
        const Poco::Net::SocketAddress endereco =
            ResolucaoNomes::Resolver(host.toStdString(), static_cast<Poco::UInt16>(porta),
                                     limiteResolucao, ResolucaoNomes::Familia::Ipv4Primeiro);
        auto* conexao = new SocketVigiado(
            {limiteLeitura, velocidadeMinima, VigiaTransferencia::kMaiorRespostaDialogo});
        const Poco::Net::StreamSocket controle(conexao);
        conexao->Conectar(endereco, std::chrono::milliseconds(0));
        // The greeting is read here, under the control connection's limits.
        auto sessao = std::make_unique<Sessao>(
            controle, VigiaTransferencia::Limites{limiteDados, velocidadeMinima, 0});
        sessao->setPassive(true);
        sessao->login(usuario.toStdString(), senha.toStdString());
        sessao_ = std::move(sessao);
    } catch (const std::exception& erro) {
        Falhar(QStringLiteral("Falha na conexão com o FTP %1:%2").arg(host).arg(porta), erro);
    }
}

void ClienteFtp::Desconectar() {
    if (sessao_ == nullptr) return;
    try {
        sessao_->close();
    } catch (...) {
        // Ending a connection that is already broken has nothing left to report.
    }
    sessao_.reset();
}

bool ClienteFtp::Conectado() const {
    return sessao_ != nullptr && sessao_->isOpen();
}

void ClienteFtp::MudarPasta(const QString& pasta) {
    if (!Conectado()) throw ErroOrvalis(QStringLiteral("O FTP não está conectado."));
    std::string resposta;
    int status = 0;
    try {
        status = sessao_->sendCommand("CWD", pasta.toStdString(), resposta);
    } catch (const std::exception& erro) {
        Falhar(QStringLiteral("Falha ao mudar para a pasta \"%1\" do FTP").arg(pasta), erro);
    }
    if (status != 200 && status != 250 && status != 257) {
        throw ErroOrvalis(QStringLiteral("Falha ao mudar para a pasta \"%1\" do FTP: %2")
                              .arg(pasta, FromUtf8(resposta)));
    }
}

QStringList ClienteFtp::ListarNomes() {
    if (!Conectado()) throw ErroOrvalis(QStringLiteral("O FTP não está conectado."));
    std::string texto;
    try {
        sessao_->setFileType(Poco::Net::FTPClientSession::TYPE_TEXT);
        std::istream& dados = sessao_->beginList("", false);
        // A stream swallows the socket's errors into its state; with badbit in its mask
        // it raises the original error instead, so a timed-out or broken transfer can
        // never pass for a short listing.
        dados.exceptions(std::ios::badbit);
        char bloco[8192];
        while (dados.read(bloco, sizeof bloco) || dados.gcount() > 0) {
            texto.append(bloco, static_cast<size_t>(dados.gcount()));
            if (texto.size() > kMaiorListagem)
                throw std::length_error("a listagem passa de 1 MiB.");
        }
        sessao_->endList();
        sessao_->setFileType(Poco::Net::FTPClientSession::TYPE_BINARY);
    } catch (const std::exception& erro) {
        Falhar(QStringLiteral("Falha na listagem da pasta do FTP"), erro);
    }
    QStringList linhas = QString::fromUtf8(texto.data(), static_cast<qsizetype>(texto.size()))
                             .split(QLatin1Char('\n'));
    // The text after the last line break is a line only when it is not empty.
    if (linhas.last().isEmpty()) linhas.removeLast();
    for (QString& linha : linhas) {
        if (linha.endsWith(QLatin1Char('\r'))) linha.chop(1);
    }
    return linhas;
}

}  // namespace orvalis
