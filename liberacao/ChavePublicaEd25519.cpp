#include "liberacao/ChavePublicaEd25519.h"

#include "liberacao/Base64.h"

#include <openssl/err.h>
#include <openssl/evp.h>

#include <utility>

namespace orvalis {

ChavePublicaEd25519::ChavePublicaEd25519(std::shared_ptr<EVP_PKEY> chave, QByteArray bruta)
    : chave_(std::move(chave)), bruta_(std::move(bruta)) {}

std::optional<ChavePublicaEd25519> ChavePublicaEd25519::DeTexto(const QString& texto) {
    // Only ASCII can be base64; anything else must not be narrowed into it.
    for (QChar c : texto) {
        if (c.unicode() > 0x7F) return std::nullopt;
    }
    const std::optional<QByteArray> bruta = Base64::Decodificar(texto.toLatin1());
    if (!bruta) return std::nullopt;
    return DeBytes(*bruta);
}

std::optional<ChavePublicaEd25519> ChavePublicaEd25519::DeBytes(const QByteArray& bruta) {
    if (bruta.size() != kTamanho) return std::nullopt;
    EVP_PKEY* chave = EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(bruta.constData()),
        static_cast<size_t>(bruta.size()));
    if (chave == nullptr) {
        ERR_clear_error();
        return std::nullopt;
    }
    return ChavePublicaEd25519(std::shared_ptr<EVP_PKEY>(chave, EVP_PKEY_free), bruta);
}

bool ChavePublicaEd25519::Verificar(const QByteArray& mensagem,
                                    const QByteArray& assinatura) const {
    if (assinatura.size() != kTamanhoAssinatura) return false;
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    if (ctx == nullptr) {
        ERR_clear_error();
        return false;
    }
    // Ed25519 hashes the message itself: no digest is named, and the message goes in
    // one call.
    const bool valida =
        EVP_DigestVerifyInit(ctx, nullptr, nullptr, nullptr, chave_.get()) == 1 &&
        EVP_DigestVerify(ctx, reinterpret_cast<const unsigned char*>(assinatura.constData()),
                         static_cast<size_t>(assinatura.size()),
                         reinterpret_cast<const unsigned char*>(mensagem.constData()),
                         static_cast<size_t>(mensagem.size())) == 1;
    EVP_MD_CTX_free(ctx);
    // A refused signature leaves an entry in the thread's error queue, which the TLS
    // layer of a later connection would take for its own.
    ERR_clear_error();
    return valida;
}

QString ChavePublicaEd25519::Texto() const {
    return QString::fromLatin1(Base64::Codificar(bruta_));
}

}  // namespace orvalis
