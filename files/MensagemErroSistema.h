#pragma once

#include <QString>

#include <cstdint>

namespace orvalis {

class Platform;

// The system's message text for a Windows error code, as the program shows it: at most
// 256 characters, without its trailing characters of code 32 or lower and its trailing
// "." ("Acesso negado." gives "Acesso negado"). Empty for a code the system does not know.
QString MensagemErroSistema(Platform& plataforma, uint32_t codigo);

}  // namespace orvalis
