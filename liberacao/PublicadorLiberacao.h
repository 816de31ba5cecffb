#pragma once

#include "liberacao/ManifestoLiberacao.h"

#include <QString>

namespace orvalis {

class ChavePrivadaEd25519;
class Platform;

// The vendor's side of a signed release: signs a release folder as it will be served.
class PublicadorLiberacao {
  public:
    // Lists every file of the folder `pasta` (a path of `plataforma`), leaving out folders,
    // orvalisLiberacao.ini, orvalisLiberacao.sig and their temporary names below (in any
    // letter case); reads each one to its end for its size and SHA-256; and writes the
    // manifest of `versao` and its signature by `chave` into the folder. Both files are
    // written in full under temporary names ("<name>.novo"), flushed to the disk, then
    // renamed into place, the signature first: a new manifest never stands without its
    // signature, and an interrupted run leaves at worst a signature that does not match
    // (which the updater refuses) or only the temporary files.
    //
    // Returns the manifest written. Raises ErroOrvalis, with a Portuguese text for the
    // vendor, before anything is written when the version cannot go into the manifest,
    // the folder does not exist or cannot be listed, holds no package, holds a name that
    // cannot go into the manifest or two names that differ only in letter case, or a file
    // cannot be read or vanishes while it is read; and, leaving the previous manifest and
    // signature in place, when a file of its own cannot be written or renamed.
    // Raises the ErroOrvalis of Assinar for a version that cannot go into the manifest.
    static void ConferirVersao(const QString& versao);

    static ManifestoLiberacao Assinar(Platform& plataforma, const QString& pasta,
                                      const ChavePrivadaEd25519& chave, const QString& versao);
};

}  // namespace orvalis
