#pragma once

#include <QByteArray>

#include <optional>

namespace orvalis {

// The text of orvalisLiberacao.sig: the standard base64, with padding, of the 64-byte
// Ed25519 signature over the exact bytes of orvalisLiberacao.ini.
class AssinaturaLiberacao {
  public:
    // The base64 of `assinatura` followed by CR LF.
    static QByteArray Texto(const QByteArray& assinatura);
    // The 64 bytes of a text that is their canonical base64 (88 characters), optionally
    // followed by one line break (LF or CR LF) and nothing else; nullopt otherwise.
    static std::optional<QByteArray> Ler(const QByteArray& texto);
};

}  // namespace orvalis
