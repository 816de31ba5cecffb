#pragma once

#include "net/ClienteHttp.h"

#include <chrono>

namespace orvalis::teste {

// The HTTP limits of a test: the connection and inactivity limits given, the others
// (low-speed rule, name resolution) as the program has them unless set afterwards.
inline ClienteHttp::Limites LimitesDeTeste(std::chrono::milliseconds conexao,
                                           std::chrono::milliseconds inatividade) {
    ClienteHttp::Limites limites;
    limites.conexao = conexao;
    limites.inatividade = inatividade;
    return limites;
}

}  // namespace orvalis::teste
