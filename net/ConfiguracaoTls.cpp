#include "net/ConfiguracaoTls.h"

#include "app/Erros.h"
#include "platform/Ansi.h"

#include <Poco/Exception.h>
#include <Poco/Net/SSLManager.h>

#include <mutex>

namespace orvalis {

Poco::Net::Context::Ptr ConfiguracaoTls::NovoContexto() const {
    static std::once_flag iniciado;
    std::call_once(iniciado, [] { Poco::Net::initializeSSL(); });
    try {
        Poco::Net::Context::Params parametros;
        // Strict: the relaxed mode skips the host-name check for any name that resolves
        // to a loopback address.
        parametros.verificationMode = Poco::Net::Context::VERIFY_STRICT;
        parametros.loadDefaultCAs = true;
        // Poco's own default list would replace OpenSSL's.
        parametros.cipherList = "DEFAULT";
        return new Poco::Net::Context(Poco::Net::Context::TLS_CLIENT_USE, parametros);
    } catch (const Poco::Exception& erro) {
        throw ErroOrvalis(FromUtf8(erro.displayText()));
    }
}

}  // namespace orvalis
