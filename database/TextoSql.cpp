#include "database/TextoSql.h"

namespace orvalis {

QString TextoSql(const QString& valor) {
    return QLatin1Char('\'') + QString(valor).replace(u'\'', QStringLiteral("''")) +
           QLatin1Char('\'');
}

}  // namespace orvalis
