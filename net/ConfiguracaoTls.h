#pragma once

#include <Poco/Net/Context.h>

namespace orvalis {

// The TLS settings of the report e-mail's SMTP connection
// (IdSSLIOHandlerSocketOpenSSL1). A connection made with them negotiates the highest
// version that OpenSSL and the server share, with OpenSSL's default ciphers, sends the
// host name (SNI), and accepts the server only when its certificate chains to OpenSSL's
// default trust store (SSL_CERT_FILE and SSL_CERT_DIR apply) and names the host that
// was asked for. No client certificate is offered.
class ConfiguracaoTls {
  public:
    // A new client context with these settings, for one connection. Throws ErroOrvalis
    // when OpenSSL cannot make it.
    Poco::Net::Context::Ptr NovoContexto() const;
};

}  // namespace orvalis
