#pragma once

#include <openssl/ssl.h>

#include <memory>

namespace orvalis {

// The TLS settings of the program's client connections: the report e-mail's SMTP
// connection (IdSSLIOHandlerSocketOpenSSL1) and every HTTPS probe and download. A
// connection made with them negotiates TLS 1.2 or later, the highest version that
// OpenSSL and the server share, at OpenSSL's default security level and with its
// default ciphers (TLS 1.0 and 1.1 with their SHA-1 signatures are refused), and
// accepts the server only when its certificate chains to OpenSSL's default trust store
// (SSL_CERT_FILE and SSL_CERT_DIR apply). The connection itself sends the host name
// (SNI) and has OpenSSL check that the certificate names it (SocketVigiado). No client
// certificate is offered.
class ConfiguracaoTls {
  public:
    // A new client context with these settings, for one connection; the connection
    // keeps it alive. Throws ErroOrvalis when OpenSSL cannot make it.
    std::shared_ptr<SSL_CTX> NovoContexto() const;
};

}  // namespace orvalis
