#pragma once

#include <QStringList>

#include <functional>

namespace orvalis {

// The closing lines of a server-update run, as the progress log shows them and the
// report e-mail repeats them.
const QStringList& LinhasSucesso();
const QStringList& LinhasFalha();

// Runs `passos`, then `concluir`, also when `passos` raised; that error then goes on.
void ConcluirApos(const std::function<void()>& concluir, const std::function<void()>& passos);

}  // namespace orvalis
