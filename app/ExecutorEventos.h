#pragma once

#include <QString>

#include <functional>

namespace orvalis {

class Platform;

// The one way every timer and click handler runs. Nothing escapes into the event
// loop: the silent abort ends the handler without a dialog, and any other error is
// shown in the standard error box (error icon, the program's title).
//
// A handler that starts a server-update run goes through ExecutarExecucao: while one
// run is in progress (including while it unwinds after an error) a second one is
// refused, and EmExecucao() tells the window to ignore close requests.
class ExecutorEventos {
  public:
    ExecutorEventos(Platform& plataforma, QString tituloAplicacao);

    void Executar(const std::function<void()>& handler);
    // Returns false, without running the handler, while a run is in progress.
    bool ExecutarExecucao(const std::function<void()>& handler);
    bool EmExecucao() const { return emExecucao_; }

  private:
    Platform& plataforma_;
    QString tituloAplicacao_;
    bool emExecucao_ = false;
};

}  // namespace orvalis
