#pragma once

#include <QString>

#include <exception>

namespace orvalis {

// The message an error carries, for a log line: the program's own text for
// ErroOrvalis, what() (as UTF-8) for any other exception.
QString MensagemErro(const std::exception& erro);

}  // namespace orvalis
