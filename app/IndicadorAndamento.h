#pragma once

#include "platform/Platform.h"

#include <QString>

#include <cstdint>

class QLabel;
class QProgressBar;

namespace orvalis {

// The progress of one long piece of work on the server page: a bar and one line of text
// under the log, saying what is being done, the bytes done of the total (in KB, MB or
// GB, with a decimal comma), the rate and, once it can be estimated, the time left. It
// never writes to the progress log. Shown by Iniciar, hidden by Concluir.
//
// Informar redraws at most ten times a second (always for the first and the last
// report), and each redraw lets the window process its pending messages through the
// platform, so that the window answers while the work goes on. The widgets belong to
// the window; the platform must outlive this object.
class IndicadorAndamento {
  public:
    IndicadorAndamento(Platform& plataforma, QProgressBar* barra, QLabel* linha);

    void Iniciar(const QString& acao);
    // The bytes done of the total (-1: not known). Always true: the work goes on.
    bool Informar(int64_t feitos, int64_t total);
    void Concluir();

    // The line for `acao` with `feitos` of `total` bytes done in `decorridoMs`.
    static QString Texto(const QString& acao, int64_t feitos, int64_t total, int64_t decorridoMs);
    // A size as the line writes it: "512,0 KB", "12,5 MB", "1,2 GB".
    static QString Tamanho(double bytes);

  private:
    Platform& plataforma_;
    QProgressBar* barra_;
    QLabel* linha_;
    QString acao_;
    // When the work began and when it was last drawn (the platform's GetTickCount64).
    uint64_t inicio_ = 0;
    uint64_t ultimo_ = 0;
    bool ativo_ = false;
    bool informado_ = false;
};

}  // namespace orvalis
