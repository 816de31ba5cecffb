#pragma once

#include "net/VelocidadeMinima.h"

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace orvalis {

// The limits of one connection, which every read and write on it asks before it waits
// and reports to after it waited and after it moved bytes.
//
// The low-speed rule is kept in windows of waiting time: only the time spent waiting on
// the connection counts (a connection the program leaves idle, as the control
// connection of FTP during a listing, does not fall behind), and a window starts anew
// as soon as its quota, bytesPorSegundo x janela bytes, has moved. A window whose time
// runs out before its quota has moved fails the transfer: a transfer fails only after
// a whole window below the minimum, and at the latest one window after its traffic fell
// below it.
//
// Failures are raised as Poco exceptions, which the clients of this folder turn into
// the program's own errors: Poco::TimeoutException for a wait that ran out (its
// message says which limit, except for a connection that stayed silent for a whole
// wait: Poco's plain "Timeout"), Poco::Net::MessageException for a reply over its cap.
class VigiaTransferencia {
  public:
    // The cap on one reply of a command dialogue (FTP control, SMTP, POP3): a reply, all
    // of its lines, is far smaller, and a server that sends more is not one to wait for.
    static constexpr size_t kMaiorRespostaDialogo = 64 * 1024;

    struct Limites {
        // The longest wait for the next byte, or for room to send one.
        std::chrono::milliseconds inatividade{60000};
        VelocidadeMinima velocidade;
        // The most bytes that may arrive between two sends (one reply of a dialogue);
        // 0: no cap.
        size_t maiorResposta = 0;
    };

    explicit VigiaTransferencia(const Limites& limites);

    // A new window starts (the connection is made).
    void Iniciar();
    // How long the next wait may last: what is left of the inactivity limit since the
    // last byte moved (unless `comInatividade` is false, for a wait that has a limit of
    // its own), or less when the window ends sooner. Raises the low-speed failure when
    // the window has ended short of its quota, the inactivity failure when the waits
    // since the last byte have used up that limit. Never less than 1 ms.
    std::chrono::milliseconds Espera(bool comInatividade = true) const;
    // A wait took `duracao`, whatever it saw.
    void Aguardou(std::chrono::steady_clock::duration duracao);
    // Bytes that moved on the wire, either way.
    void Movidos(size_t bytes);
    // Bytes of a reply received, and a send that ends the reply before it. Raises
    // when the bytes since the last send pass the cap.
    void Recebidos(size_t bytes);
    void Enviados();

  private:
    [[noreturn]] void FalharVelocidade() const;

    Limites limites_;
    int64_t cota_;
    std::chrono::steady_clock::duration esperadoNaJanela_{};
    int64_t movidosNaJanela_ = 0;
    std::chrono::steady_clock::duration semMovimento_{};
    size_t resposta_ = 0;
};

}  // namespace orvalis
