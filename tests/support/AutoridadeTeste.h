#pragma once

#include <QString>

namespace orvalis::teste {

// The throwaway certificate authority of one test process, made on first use by
// tests/servers/certificados.py: certificates for every test host name that a local
// server presents (the files host, the main site, the mail host), and the faulty ones
// that the servers' fault modes show. Removed when the process ends.
class AutoridadeTeste {
  public:
    // The folder of the certificates. Throws std::runtime_error when they cannot be made.
    static QString Pasta();
    static QString ArquivoCa();
    // Makes OpenSSL's default trust store this authority alone (SSL_CERT_FILE), for
    // this process and the processes it starts from now on.
    static void Confiar();
};

}  // namespace orvalis::teste
