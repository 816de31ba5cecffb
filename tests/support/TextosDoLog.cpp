#include "tests/support/TextosDoLog.h"

#include "app/UnPrincipal.h"

#include <QRegularExpression>

namespace orvalis::teste {

QStringList TextosDoLog(const TfrmPrincipal& janela) {
    // The test platform writes the date as dd/MM/yyyy and the time as HH:mm:ss; a line
    // stamped at midnight, or by the date-only writer, has no time.
    static const QRegularExpression carimbo(
        QStringLiteral("^\\d\\d/\\d\\d/\\d{4}( \\d\\d:\\d\\d:\\d\\d)?"));
    QStringList textos;
    for (QString linha : janela.LinhasLog()) textos << linha.remove(carimbo);
    return textos;
}

}  // namespace orvalis::teste
