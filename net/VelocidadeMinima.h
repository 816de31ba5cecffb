#pragma once

#include <chrono>
#include <cstdint>

namespace orvalis {

// The low-speed rule of a transfer (as curl's low-speed limit): a connection whose
// traffic stays below `bytesPorSegundo` for a whole `janela` of waiting on it has
// failed, as a broken connection has. Both directions count, the TLS handshake
// included (see VigiaTransferencia).
struct VelocidadeMinima {
    int64_t bytesPorSegundo = 1024;
    std::chrono::milliseconds janela{60000};
};

}  // namespace orvalis
