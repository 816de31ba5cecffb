#pragma once

#include <QString>

#include <functional>

namespace orvalis {

class Platform;

// The one way every timer and click handler runs. Nothing escapes into the event
// loop: the silent abort ends the handler without a dialog, and any other error is
// shown in the standard error box (error icon, the program's title).
//
// A handler that starts a run (a server update, a recovery, the workstation refresh)
// goes through ExecutarExecucao. While a run is in progress, including while it unwinds
// after an error, every other handler is refused: a click or a timer that the run's own
// processing of window messages lets through starts nothing. EmExecucao() also tells
// the window to ignore close requests.
class ExecutorEventos {
  public:
    ExecutorEventos(Platform& plataforma, QString tituloAplicacao);

    // Returns false, without running the handler, while a run is in progress.
    bool Executar(const std::function<void()>& handler);
    bool ExecutarExecucao(const std::function<void()>& handler);
    bool EmExecucao() const { return emExecucao_; }

  private:
    void Rodar(const std::function<void()>& handler);

    Platform& plataforma_;
    QString tituloAplicacao_;
    bool emExecucao_ = false;
};

}  // namespace orvalis
