#pragma once

#include <QStringList>

namespace orvalis {
class TfrmPrincipal;
}

namespace orvalis::teste {

// The lines of the window's log, each without the stamp the program puts before its
// text: the short date, and after a blank the long time when the line has one.
QStringList TextosDoLog(const TfrmPrincipal& janela);

}  // namespace orvalis::teste
