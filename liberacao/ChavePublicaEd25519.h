#pragma once

#include <QByteArray>
#include <QString>

#include <openssl/types.h>

#include <memory>
#include <optional>

namespace orvalis {

// An Ed25519 public key: the key that checks the vendor's release signatures. Its text
// is the standard base64 of its 32 raw bytes (44 characters, the last one "="). Copies
// share one OpenSSL key; the object may be used from one thread at a time.
class ChavePublicaEd25519 {
  public:
    static constexpr int kTamanho = 32;
    static constexpr int kTamanhoAssinatura = 64;

    // The key of a text as above; nullopt for any other text (another length, blanks,
    // a non-canonical spelling) and for 32 bytes that OpenSSL refuses.
    static std::optional<ChavePublicaEd25519> DeTexto(const QString& texto);
    // The key of 32 raw bytes; nullopt otherwise.
    static std::optional<ChavePublicaEd25519> DeBytes(const QByteArray& bruta);

    // True only when `assinatura` is a 64-byte Ed25519 signature of exactly `mensagem` by
    // the private half of this key. Never raises.
    bool Verificar(const QByteArray& mensagem, const QByteArray& assinatura) const;

    QByteArray Bytes() const { return bruta_; }
    QString Texto() const;

  private:
    ChavePublicaEd25519(std::shared_ptr<EVP_PKEY> chave, QByteArray bruta);

    std::shared_ptr<EVP_PKEY> chave_;
    QByteArray bruta_;
};

}  // namespace orvalis
