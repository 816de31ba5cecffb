#pragma once

#include "net/ClienteHttp.h"

#include <chrono>

namespace orvalis::teste {

// The HTTP limits of a test: the connection and inactivity limits given, the low-speed
// rule's window too when given (at 1 KiB/s), name resolution as the program has it.
inline ClienteHttp::Limites LimitesDeTeste(
    std::chrono::milliseconds conexao, std::chrono::milliseconds inatividade,
    std::chrono::milliseconds janelaVelocidade = VelocidadeMinima{}.janela) {
    ClienteHttp::Limites limites;
    limites.conexao = conexao;
    limites.inatividade = inatividade;
    limites.velocidade.janela = janelaVelocidade;
    return limites;
}

}  // namespace orvalis::teste
