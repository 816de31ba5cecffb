#pragma once

#include "net/VelocidadeMinima.h"

#include <QString>
#include <QStringList>

#include <Poco/Net/StreamSocket.h>

#include <chrono>
#include <memory>

namespace Poco::Net {
class SMTPClientSession;
}

namespace orvalis {

class ConfiguracaoTls;
class MensagemEmail;

// The report e-mail's SMTP client (IdSMTP1), over implicit TLS: the connection is TLS
// from its first byte, as a mail host serves it on port 465. Its settings are the
// public fields, set before Conectar. No pipelining, no VERP.
//
// Every failure raises ErroOrvalis with the engine's description of it (a name that
// does not resolve in time, a refused or timed-out connection, a certificate that
// cannot be verified, a transfer below the minimum speed, a reply over 64 KiB, an
// unexpected reply); the account's password never appears in it. Desconectar never
// fails.
class ClienteSmtp {
  public:
    ClienteSmtp();
    // Desconectar().
    ~ClienteSmtp();

    ClienteSmtp(const ClienteSmtp&) = delete;
    ClienteSmtp& operator=(const ClienteSmtp&) = delete;

    QString host;
    int porta = 465;
    // The TLS settings; must be set, and outlive the connection.
    const ConfiguracaoTls* tls = nullptr;
    QString usuario;
    QString senha;
    // The name given in "EHLO" and "HELO".
    QString nomeCliente;
    // The resolution of the host name.
    std::chrono::milliseconds limiteResolucao{30000};
    // The TCP connection and the TLS handshake together.
    std::chrono::milliseconds limiteConexao{30000};
    // The longest wait for a reply, or for room to send.
    std::chrono::milliseconds limiteInatividade{60000};
    // The whole connection, from the TLS handshake on, fails when its traffic stays
    // below this for a whole window.
    VelocidadeMinima velocidadeMinima;

    // TCP connection to host:porta, one TLS handshake with the server's certificate and
    // name verified (the name checked after the handshake however late it completes,
    // within limiteConexao), the greeting (2xx), "EHLO " + nomeCliente, and when that is not
    // answered 250, "HELO " + nomeCliente, which must be. A connection that fails on
    // the way is closed again before the error is raised. Not to be called while
    // connected.
    void Conectar();
    bool Conectado() const { return sessao_ != nullptr; }
    // The EHLO reply lists LOGIN among its AUTH mechanisms ("AUTH ... LOGIN ..." or the
    // older "AUTH=LOGIN"). False when the server was greeted with HELO.
    bool OfereceAuthLogin() const;
    // "AUTH LOGIN" (answered 334), the base64 user name (334, or 235, which ends it),
    // then the base64 password (235).
    void AutenticarLogin();
    // "MAIL FROM:<sender>", one "RCPT TO:<address>" per recipient in their order (each
    // answered 250 or 251), "DATA" (354), the message's text with the transfer's
    // dot-stuffing, and "." (2xx).
    void Enviar(const MensagemEmail& mensagem);
    // "QUIT" when connected, then the connection is closed. Does nothing otherwise.
    void Desconectar() noexcept;

  private:
    // The TLS connection under the session, kept to close it when "QUIT" fails.
    Poco::Net::StreamSocket socket_;
    std::unique_ptr<Poco::Net::SMTPClientSession> sessao_;
    // The lines of the EHLO reply without their codes; empty after HELO.
    QStringList extensoes_;
};

}  // namespace orvalis
