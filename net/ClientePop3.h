#pragma once

#include "net/VelocidadeMinima.h"

#include <QString>

#include <Poco/Net/StreamSocket.h>

#include <chrono>
#include <memory>

namespace Poco::Net {
class POP3ClientSession;
}

namespace orvalis {

// The report e-mail's POP3 client (IdPOP31): a plain-text connection that only logs in
// to the mailbox. Its settings are the public fields, set before Conectar.
//
// Every failure raises ErroOrvalis with the engine's description of it (a name that
// does not resolve in time, a refused or timed-out connection, a transfer below the
// minimum speed, a reply over 64 KiB, the server's refusal with its reply); the
// password never appears in it. Desconectar never fails.
class ClientePop3 {
  public:
    ClientePop3();
    // Desconectar().
    ~ClientePop3();

    ClientePop3(const ClientePop3&) = delete;
    ClientePop3& operator=(const ClientePop3&) = delete;

    QString host;
    int porta = 110;
    QString usuario;
    QString senha;
    // The resolution of the host name.
    std::chrono::milliseconds limiteResolucao{30000};
    std::chrono::milliseconds limiteConexao{30000};
    // The longest wait for a reply, or for room to send.
    std::chrono::milliseconds limiteInatividade{60000};
    // The connection fails when its traffic stays below this for a whole window.
    VelocidadeMinima velocidadeMinima;

    // TCP connection to host:porta, the greeting "+OK", then "USER " + usuario and
    // "PASS " + senha, each answered "+OK". A connection that fails on the way is
    // closed again before the error is raised. Not to be called while connected.
    void Conectar();
    bool Conectado() const { return sessao_ != nullptr; }
    // "QUIT" when connected, then the connection is closed. Does nothing otherwise.
    void Desconectar() noexcept;

  private:
    // The connection under the session, kept to close it when "QUIT" fails.
    Poco::Net::StreamSocket socket_;
    std::unique_ptr<Poco::Net::POP3ClientSession> sessao_;
};

}  // namespace orvalis
