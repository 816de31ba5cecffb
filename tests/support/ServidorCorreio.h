#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace orvalis::teste {

// One of the mail host's local test servers (tests/servers/smtp_servidor.py or
// pop3_servidor.py), run by /usr/bin/python3 as a child of the test on 127.0.0.1.
//
// The constructor writes the configuration into a state folder of its own, starts the
// server and returns once it listens (throws std::runtime_error when it does not within
// 15 s). The destructor stops it (SIGTERM, then SIGKILL) and removes the folder.
class ServidorCorreio {
  public:
    enum class Tipo { Smtp, Pop3 };

    ServidorCorreio(Tipo tipo, const QJsonObject& configuracao);
    ~ServidorCorreio();

    ServidorCorreio(const ServidorCorreio&) = delete;
    ServidorCorreio& operator=(const ServidorCorreio&) = delete;

    int Porta() const { return porta_; }
    // Every event recorded so far, oldest first (see the server's own description).
    QList<QJsonObject> Registro() const;

    // The folder of throwaway certificates for mail.orvalis.test (certificados.py),
    // made once per test process. From the first call on, SSL_CERT_FILE names its CA,
    // so that OpenSSL's default trust store is that CA alone.
    static QString Certificados();
    // The path of a file of the source tree ("tests/mail/x.txt"): under ORVALIS_SOURCE_DIR,
    // or else under the tree this file was compiled from.
    static QString ArquivoFonte(const QString& relativo);
    // Whether `host` resolves here: the test host names do only through the private
    // /etc/hosts that scripts/run-tests mounts.
    static bool Resolve(const QString& host);

  private:
    QTemporaryDir pasta_;
    QProcess processo_;
    int porta_ = 0;
};

}  // namespace orvalis::teste
