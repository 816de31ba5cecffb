#pragma once

#include <QString>

namespace orvalis {

// `valor` as a quoted SQL string: enclosed in single quotes, each single quote inside
// doubled.
QString TextoSql(const QString& valor);

}  // namespace orvalis
