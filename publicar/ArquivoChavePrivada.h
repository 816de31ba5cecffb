#pragma once

#include "liberacao/ChavePrivadaEd25519.h"

#include <QByteArray>

#include <string>

namespace orvalis {

// The vendor's private key file, by its native path: orvalisPublicar is a tool of the
// vendor's own machine (Linux or any POSIX system), not the Windows program, and the
// key's permissions are POSIX ones. Errors are ErroOrvalis with a Portuguese text that
// names the path as given.
class ArquivoChavePrivada {
  public:
    // Creates `caminho` readable and writable by its owner only (mode 0600, whatever the
    // umask), never over an existing file nor through a symbolic link (O_EXCL), and
    // writes `pem` into it, flushed to the disk. A file it created and could not fill is
    // removed again.
    static void Criar(const std::string& caminho, const QByteArray& pem);
    // The key that `caminho` holds in PEM without a pass phrase.
    static ChavePrivadaEd25519 Ler(const std::string& caminho);
};

}  // namespace orvalis
