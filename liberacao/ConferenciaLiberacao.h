#pragma once

#include "liberacao/ManifestoLiberacao.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace orvalis {

class ChavePublicaEd25519;
class Platform;

// The updater's side of a signed release: whether the manifest and its signature as
// fetched from the vendor are the vendor's, for the release being installed, and whether
// a downloaded package is the one the manifest lists.
class ConferenciaLiberacao {
  public:
    enum class Manifesto {
        kAceito,              // signed by the key, well formed, of the expected version
        kAssinaturaInvalida,  // the signature text is not one, or does not verify
        kManifestoInvalido,   // signed, but a text that ManifestoLiberacao::Ler refuses
        kVersaoDiferente,     // signed and well formed, of another version
    };
    enum class Pacote {
        kConfere,    // same size and SHA-256 as its row
        kSemLinha,   // the manifest has no row of this name
        kDiferente,  // another size or another SHA-256
        kIlegivel,   // the downloaded file cannot be read (the platform's last error says why)
    };

    // The signature is checked over the exact bytes of `manifesto` before anything is
    // read from them; then the text, then its version against `versao` (exact
    // comparison). `*lido` receives the manifest when its signature verified and it could
    // be read (kAceito and kVersaoDiferente), and is reset otherwise.
    static Manifesto ConferirManifesto(const ChavePublicaEd25519& chave,
                                       const QByteArray& manifesto, const QByteArray& assinatura,
                                       const QString& versao,
                                       std::optional<ManifestoLiberacao>* lido);

    // Reads the file `caminho` through the platform, streamed, and compares it with the
    // row `nome` (letter case counts). Reading stops as soon as the file is longer than
    // its row says. Leaves the file as it is.
    static Pacote ConferirArquivo(Platform& plataforma, const ManifestoLiberacao& manifesto,
                                  const QString& nome, const QString& caminho);
};

}  // namespace orvalis
