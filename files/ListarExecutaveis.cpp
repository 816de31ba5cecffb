#include "files/ListarExecutaveis.h"

#include "platform/Platform.h"

#include <vector>

namespace orvalis {

QStringList ListarExecutaveis(Platform& plataforma, const QString& pasta) {
    std::vector<DirEntry> entradas;
    QStringList nomes;
    // A failed listing is the empty one: the phases treat a missing folder as a folder
    // without executables.
    if (!plataforma.ListDirectory(pasta + QStringLiteral("\\*.exe"), &entradas)) return nomes;
    nomes.reserve(static_cast<qsizetype>(entradas.size()));
    for (const DirEntry& entrada : entradas) nomes << entrada.name;
    return nomes;
}

}  // namespace orvalis
