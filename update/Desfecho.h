#pragma once

#include <QStringList>

namespace orvalis {

// The closing lines of a server-update run, as the progress log shows them and the
// report e-mail repeats them.
const QStringList& LinhasSucesso();
const QStringList& LinhasFalha();

}  // namespace orvalis
