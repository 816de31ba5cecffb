#include "net/ClienteSmtp.h"

#include "app/Erros.h"
#include "net/ConfiguracaoTls.h"
#include "net/MensagemEmail.h"
#include "net/ResolucaoNomes.h"
#include "net/SocketVigiado.h"
#include "platform/Ansi.h"

#include <Poco/Exception.h>
#include <Poco/Net/SMTPClientSession.h>
#include <Poco/Net/SocketAddress.h>

#include <algorithm>
#include <initializer_list>
#include <sstream>
#include <string>

namespace orvalis {

namespace {

std::string Base64(const QString& texto) {
    return texto.toUtf8().toBase64().toStdString();
}

bool Esperado(int status, std::initializer_list<int> esperados) {
    for (int e : esperados) {
        if (status == e) return true;
    }
    return false;
}

// An address as it goes into a command. A line break in it would end the command and
// start another one.
QString Caixa(const QString& endereco) {
    for (QChar c : endereco) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            throw ErroOrvalis(QStringLiteral("SMTP: endereço inválido: ") + endereco.simplified());
        }
    }
    return endereco;
}

// A Poco failure or a refused reply, as the program's own error.
template <typename Acao>
auto Traduzindo(Acao&& acao) {
    try {
        return acao();
    } catch (const ErroOrvalis&) {
        throw;
    } catch (const Poco::Exception& erro) {
        throw ErroOrvalis(FromUtf8(erro.displayText()));
    } catch (const std::exception& erro) {
        throw ErroOrvalis(FromUtf8(erro.what()));
    }
}

}  // namespace

ClienteSmtp::ClienteSmtp() = default;

ClienteSmtp::~ClienteSmtp() {
    Desconectar();
}

void ClienteSmtp::Conectar() {
    if (tls == nullptr) throw ErroOrvalis(QStringLiteral("SMTP: configuração TLS ausente"));
    try {
        Traduzindo([this] {
            const Poco::Net::SocketAddress endereco =
                ResolucaoNomes::Resolver(ToUtf8(host), static_cast<Poco::UInt16>(porta),
                                         limiteResolucao, ResolucaoNomes::Familia::Ipv4Primeiro);
            const auto inicio = std::chrono::steady_clock::now();
            auto* conexao = new SocketVigiado(
                {limiteInatividade, velocidadeMinima, VigiaTransferencia::kMaiorRespostaDialogo});
            const Poco::Net::StreamSocket tcp(conexao);
            conexao->Conectar(endereco, limiteConexao);
            // The handshake runs in what is left of the connection's limit; the host name
            // is the one the certificate must carry, and the SNI sent.
            const auto restante =
                std::max(limiteConexao - std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::steady_clock::now() - inicio),
                         std::chrono::milliseconds(1));
            conexao->IniciarTls(tls->NovoContexto(), ToUtf8(host), restante);
            socket_ = tcp;
            sessao_ = std::make_unique<Poco::Net::SMTPClientSession>(socket_);
            sessao_->open();

            const std::string nome = ToUtf8(nomeCliente);
            std::string resposta;
            if (sessao_->sendCommand("EHLO", nome, resposta) == 250) {
                for (const QString& linha :
                     FromUtf8(resposta).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
                    extensoes_ << linha.mid(4).trimmed();
                }
                return;
            }
            const int status = sessao_->sendCommand("HELO", nome, resposta);
            if (status != 250) {
                throw ErroOrvalis(QStringLiteral("SMTP: HELO recusado: ") + FromUtf8(resposta));
            }
        });
    } catch (const ErroOrvalis&) {
        Desconectar();
        throw;
    }
}

bool ClienteSmtp::OfereceAuthLogin() const {
    for (const QString& extensao : extensoes_) {
        const QString texto = extensao.toUpper();
        if (!texto.startsWith(QStringLiteral("AUTH"))) continue;
        const QString mecanismos = texto.mid(4);
        if (!mecanismos.isEmpty() && mecanismos[0] != u' ' && mecanismos[0] != u'=') continue;
        const QStringList nomes = mecanismos.mid(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (nomes.contains(QStringLiteral("LOGIN"))) return true;
    }
    return false;
}

void ClienteSmtp::AutenticarLogin() {
    Traduzindo([this] {
        if (!sessao_) throw ErroOrvalis(QStringLiteral("SMTP: não conectado"));
        std::string resposta;
        auto recusa = [&resposta](const char* etapa) {
            return ErroOrvalis(QStringLiteral("SMTP: ") + QString::fromLatin1(etapa) +
                               QStringLiteral(" recusado: ") + FromUtf8(resposta));
        };
        if (sessao_->sendCommand("AUTH LOGIN", resposta) != 334) throw recusa("AUTH LOGIN");
        const int status = sessao_->sendCommand(Base64(usuario), resposta);
        if (status == 235) return;
        if (status != 334) throw recusa("usuário");
        if (sessao_->sendCommand(Base64(senha), resposta) != 235) throw recusa("senha");
    });
}

void ClienteSmtp::Enviar(const MensagemEmail& mensagem) {
    Traduzindo([this, &mensagem] {
        if (!sessao_) throw ErroOrvalis(QStringLiteral("SMTP: não conectado"));
        std::string resposta;
        auto comando = [&](const QString& linha, std::initializer_list<int> esperados) {
            const int status = sessao_->sendCommand(ToUtf8(linha), resposta);
            if (!Esperado(status, esperados)) {
                throw ErroOrvalis(QStringLiteral("SMTP: ") + linha + QStringLiteral(" recusado: ") +
                                  FromUtf8(resposta));
            }
        };
        comando(
            QStringLiteral("MAIL FROM:<") + Caixa(mensagem.remetente.endereco) + QLatin1Char('>'),
            {250});
        for (const MensagemEmail::Endereco& destinatario : mensagem.destinatarios) {
            comando(QStringLiteral("RCPT TO:<") + Caixa(destinatario.endereco) + QLatin1Char('>'),
                    {250, 251});
        }
        comando(QStringLiteral("DATA"), {354});
        const QByteArray texto = mensagem.Texto();
        std::istringstream conteudo(std::string(texto.constData(), texto.size()));
        // Dot-stuffs the text, ends it with "." and checks the reply.
        sessao_->sendMessage(conteudo);
    });
}

void ClienteSmtp::Desconectar() noexcept {
    if (sessao_) {
        try {
            sessao_->close();
        } catch (...) {
            // A connection that cannot say QUIT is closed all the same.
        }
        try {
            socket_.close();
        } catch (...) {
        }
        // The session would try QUIT again on a connection that is gone.
        try {
            sessao_.reset();
        } catch (...) {
        }
    }
    socket_ = Poco::Net::StreamSocket();
    extensoes_.clear();
}

}  // namespace orvalis
