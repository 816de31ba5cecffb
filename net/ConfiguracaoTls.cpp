#include "net/ConfiguracaoTls.h"

#include "app/Erros.h"

#include <openssl/err.h>

namespace orvalis {

namespace {

[[noreturn]] void Falhar(const char* etapa) {
    char texto[256] = {};
    ERR_error_string_n(ERR_get_error(), texto, sizeof texto);
    throw ErroOrvalis(QStringLiteral("TLS: ") + QString::fromLatin1(etapa) + QStringLiteral(": ") +
                      QString::fromLatin1(texto));
}

}  // namespace

std::shared_ptr<SSL_CTX> ConfiguracaoTls::NovoContexto() const {
    ERR_clear_error();
    std::shared_ptr<SSL_CTX> contexto(SSL_CTX_new(TLS_client_method()), &SSL_CTX_free);
    if (contexto == nullptr) Falhar("SSL_CTX_new");
    // The security level and the cipher list stay OpenSSL's own: neither is set here.
    if (SSL_CTX_set_min_proto_version(contexto.get(), TLS1_2_VERSION) != 1) {
        Falhar("versão mínima");
    }
    if (SSL_CTX_set_default_verify_paths(contexto.get()) != 1) Falhar("certificados confiáveis");
    SSL_CTX_set_verify(contexto.get(), SSL_VERIFY_PEER, nullptr);
    return contexto;
}

}  // namespace orvalis
