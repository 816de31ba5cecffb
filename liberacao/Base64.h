#pragma once

#include <QByteArray>

#include <optional>

namespace orvalis {

// Standard base64 (the alphabet with "+" and "/", "=" padding), through OpenSSL: the form
// of the vendor's public key and of the release signature.
class Base64 {
  public:
    static QByteArray Codificar(const QByteArray& bytes);
    // The bytes of a canonical text only: a length that is a multiple of 4, the alphabet
    // alone, "=" only as the last one or two characters, and the unused bits of the last
    // group zero (exactly what Codificar gives back). Anything else (blanks, line breaks,
    // missing padding, a second spelling of the same bytes) is nullopt.
    static std::optional<QByteArray> Decodificar(const QByteArray& texto);
};

}  // namespace orvalis
