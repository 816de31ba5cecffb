#pragma once

#include "net/Endpoints.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>

class QProcess;

namespace orvalis::teste {

// The vendor's servers of one test, on 127.0.0.1: the scripts of tests/servers run
// with /usr/bin/python3 as child processes, each with a state folder of its own
// (configuration, record, ready file). The web server listens as "arquivos" (https,
// arquivos.orvalis.test), "site" (https, www.orvalis.test) and "site_http" (http,
// www.orvalis.test); the FTP server as "ftp" (ftp.orvalis.test). The host names
// resolve only through the hosts file that scripts/run-tests mounts.
//
// A start that fails, or a server that is not ready within 20 s, throws
// std::runtime_error with the server's own error output. The destructor stops every
// server it started (SIGTERM, SIGKILL after 5 s) and removes the state folders.
class ServidoresLocais {
  public:
    ServidoresLocais();
    ~ServidoresLocais();
    ServidoresLocais(const ServidoresLocais&) = delete;
    ServidoresLocais& operator=(const ServidoresLocais&) = delete;

    // Starts the web server. `falhas` holds the keys "servidores" and "caminhos" of the
    // server's configuration (see servidor_web.py); the certificates and the served
    // folder PastaArquivos() are filled in here.
    void IniciarWeb(const QJsonObject& falhas = {});
    // Replaces the running web server's fault modes; they apply from its next
    // connection ("fora" only at a start).
    void DefinirFalhasWeb(const QJsonObject& falhas);
    // Starts the FTP server. Without "usuarios" in `configuracao`, both forms of the
    // release account of Fornecedor() are users with the release password.
    void IniciarFtp(const QJsonObject& configuracao = {});

    // Starts a name server (servidor_dns.py) on UDP port 53 of a loopback address of
    // its own, 127.53.x.y, chosen here; `configuracao` holds its "modo". Returns the
    // address, for a resolv.conf.
    QString IniciarDns(const QJsonObject& configuracao);

    // The port of a listener ("arquivos", "site", "site_http", "ftp"); 1 (nobody
    // listens there) for a server not started.
    int Porta(const QString& servidor) const;
    // The native folder the web server serves: "/a/b.rar" is PastaArquivos() + "/a/b.rar".
    QString PastaArquivos() const;
    // The endpoints that lead to these servers, the passwords being the program's own,
    // without a public key (releases unchecked).
    Endpoints Fornecedor() const;

    // What each server has recorded so far, oldest first.
    QList<QJsonObject> RegistroWeb() const;
    QList<QJsonObject> RegistroFtp() const;
    QList<QJsonObject> RegistroDns() const;
    // The web record's events of one kind ("conexao", "tls", "tls_falhou", "pedido")
    // at one listener.
    QList<QJsonObject> Eventos(const QString& servidor, const QString& evento) const;
    // The command lines the FTP server received, in order.
    QStringList ComandosFtp() const;
    // Waits until `condicao` holds (true) or `limite` has passed (false): for what a
    // server records after the client has already given up.
    static bool Aguardar(const std::function<bool()>& condicao,
                         std::chrono::milliseconds limite = std::chrono::milliseconds(5000));

    // The throwaway CA of this test process (made on first use) and the step that
    // makes OpenSSL's default trust store trust it (SSL_CERT_FILE).
    static QString ArquivoAutoridade();
    static void ConfiarNaAutoridade();
    // True when the test host names resolve to 127.0.0.1 here.
    static bool NomesDeTesteResolvem();

  private:
    struct Processo;

    void Iniciar(Processo& processo, const QString& script, const QJsonObject& configuracao);
    static void Parar(Processo& processo);
    static QList<QJsonObject> LerRegistro(const Processo& processo);

    QTemporaryDir pasta_;
    std::unique_ptr<Processo> web_;
    std::unique_ptr<Processo> ftp_;
    std::unique_ptr<Processo> dns_;
};

}  // namespace orvalis::teste
