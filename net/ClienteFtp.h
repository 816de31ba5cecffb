#pragma once

#include "net/VelocidadeMinima.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>

namespace orvalis {

// The window's FTP client (IdFTP1): plain FTP (no TLS), passive data connections,
// binary transfer type, login with USER and PASS on connect. The settings are public
// and are read by Conectar(); the connection lives until Desconectar() or the
// client's end. Every failure is raised as ErroOrvalis with the reason (the server's
// reply where there is one; a name that does not resolve in time, a wait past its
// limit, a transfer below the minimum speed, a reply over 64 KiB); Poco's errors never
// leave this class.
class ClienteFtp {
  public:
    QString host;
    int porta = 21;
    QString usuario;
    QString senha;
    // The resolution of the host name.
    std::chrono::milliseconds limiteResolucao{30000};
    // The longest wait for a reply on the control connection.
    std::chrono::milliseconds limiteLeitura{60000};
    // The longest wait for data (or for room to send it) on a data connection.
    std::chrono::milliseconds limiteDados{50000};
    // Each connection, control and data, fails when its traffic stays below this for a
    // whole window.
    VelocidadeMinima velocidadeMinima;

    ClienteFtp();
    ~ClienteFtp();
    ClienteFtp(const ClienteFtp&) = delete;
    ClienteFtp& operator=(const ClienteFtp&) = delete;

    // Ends any connection, then connects to host:porta (no connect limit of its own),
    // waits for the greeting and logs in; the engine then selects TYPE I. On failure the
    // client is left disconnected.
    void Conectar();
    // Ends the connection (QUIT first when logged in); nothing when not connected.
    // Never raises.
    void Desconectar();
    bool Conectado() const;

    // CWD `pasta`. Only the replies 200, 250 and 257 are success.
    void MudarPasta(const QString& pasta);
    // NLST of the current folder over a passive data connection, with TYPE A before
    // and TYPE I after: the lines in the server's order, without their line breaks (a
    // final line break ends the last line, it does not add an empty one). A failure
    // (data connection, time limit, an error reply to any of the commands, a listing
    // over 1 MiB) raises and leaves the connection open.
    QStringList ListarNomes();

  private:
    class Sessao;
    std::unique_ptr<Sessao> sessao_;
};

}  // namespace orvalis
