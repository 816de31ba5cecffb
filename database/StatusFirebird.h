#pragma once

#include <firebird/Interface.h>

namespace orvalis {

// The status vector of one Firebird call, and the boundary where the engine's errors
// become the program's: Verificar() raises ErroOrvalis with the server's message when
// the last call failed. Owns its status object; pass `status.get()` to the API, then
// call Verificar(). Reusable: Verificar() clears it.
class StatusFirebird {
  public:
    StatusFirebird();
    ~StatusFirebird();

    StatusFirebird(const StatusFirebird&) = delete;
    StatusFirebird& operator=(const StatusFirebird&) = delete;

    Firebird::CheckStatusWrapper* get() { return &wrapper_; }

    bool Falhou() const;
    // Raises ErroOrvalis carrying the server's message when the last call failed;
    // otherwise does nothing. Either way the status is clear afterwards.
    void Verificar();
    // Forgets an error that the caller chooses to ignore.
    void Limpar();

    // The client library's master interface (process-wide, never released).
    static Firebird::IMaster* Mestre();

  private:
    Firebird::IStatus* status_;
    Firebird::CheckStatusWrapper wrapper_;
};

}  // namespace orvalis
