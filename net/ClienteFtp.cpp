#include "net/ClienteFtp.h"

#include "app/Erros.h"

#include <Poco/Exception.h>
#include <Poco/Net/FTPClientSession.h>
#include <Poco/Net/NetException.h>
#include <Poco/Net/StreamSocket.h>
#include <Poco/StreamCopier.h>
#include <Poco/Timespan.h>

#include <ios>
#include <istream>
#include <string>

namespace orvalis {

namespace {

Poco::Timespan EmTimespan(std::chrono::milliseconds duracao) {
    return Poco::Timespan(static_cast<Poco::Timespan::TimeDiff>(duracao.count()) * 1000);
}

QString DoPoco(const std::string& texto) {
    return QString::fromStdString(texto);
}

[[noreturn]] void Falhar(const QString& oQue, const std::exception& erro) {
    const auto* poco = dynamic_cast<const Poco::Exception*>(&erro);
    throw ErroOrvalis(oQue + QStringLiteral(": ") +
                      (poco != nullptr ? DoPoco(poco->displayText()) : DoPoco(erro.what())));
}

}  // namespace

// Poco's session knows one time limit, which it applies to the control connection
// only after the greeting has been read with its own default, and none on data
// connections. Both hooks are where the sockets appear.
class ClienteFtp::Sessao : public Poco::Net::FTPClientSession {
  public:
    Sessao(Poco::Timespan leitura, Poco::Timespan dados) : leitura_(leitura), dados_(dados) {}

  protected:
    void receiveServerReadyReply() override {
        if (_pControlSocket != nullptr) _pControlSocket->setReceiveTimeout(leitura_);
        FTPClientSession::receiveServerReadyReply();
    }

    Poco::Net::StreamSocket establishDataConnection(const std::string& comando,
                                                    const std::string& argumento) override {
        Poco::Net::StreamSocket dados =
            FTPClientSession::establishDataConnection(comando, argumento);
        dados.setReceiveTimeout(dados_);
        dados.setSendTimeout(dados_);
        return dados;
    }

  private:
    Poco::Timespan leitura_;
    Poco::Timespan dados_;
};

ClienteFtp::ClienteFtp() = default;

ClienteFtp::~ClienteFtp() {
    Desconectar();
}

void ClienteFtp::Conectar() {
    Desconectar();
    auto sessao = std::make_unique<Sessao>(EmTimespan(limiteLeitura), EmTimespan(limiteDados));
    try {
        sessao->setPassive(true);
        sessao->open(host.toStdString(), static_cast<Poco::UInt16>(porta), usuario.toStdString(),
                     senha.toStdString());
        sessao->setTimeout(EmTimespan(limiteLeitura));
    } catch (const std::exception& erro) {
        Falhar(QStringLiteral("Falha na conexão com o FTP %1:%2").arg(host).arg(porta), erro);
    }
    sessao_ = std::move(sessao);
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
                              .arg(pasta, DoPoco(resposta)));
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
        Poco::StreamCopier::copyToString(dados, texto);
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
