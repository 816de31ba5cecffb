#pragma once

#include <QString>
#include <QStringList>

namespace orvalis {

class Platform;

// The names of the entries of `pasta` that match "*.exe" (letter case ignored; files and
// folders alike, whatever their attributes), spelt as the listing reports them and in
// its order. A folder that does not exist or cannot be listed has no entries.
QStringList ListarExecutaveis(Platform& plataforma, const QString& pasta);

}  // namespace orvalis
