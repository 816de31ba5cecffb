#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QProcess;

namespace orvalis::teste {

// An X display of a test's own: Xvfb on a free display number (1024x768, 24 bits), with
// the openbox window manager framing its windows as a desktop does. Both are started by
// the constructor, which throws std::runtime_error with the reason when either cannot
// start within 10 s, and stopped with the object.
class TelaVirtual {
  public:
    TelaVirtual();
    ~TelaVirtual();
    TelaVirtual(const TelaVirtual&) = delete;
    TelaVirtual& operator=(const TelaVirtual&) = delete;

    // The DISPLAY value, ":N".
    QString Display() const { return display_; }
    // Runs an X client (xwininfo, xprop, ...) on this display and returns its standard
    // output; empty when it fails.
    QString Executar(const QString& programa, const QStringList& argumentos) const;
    // The id of the top-level window whose title is `titulo`, as xwininfo writes it
    // ("0x400007"); empty when there is none.
    QString Janela(const QString& titulo) const;
    // The outer height of that window: its client height plus the top and bottom of the
    // frame that the window manager puts around it; -1 when the frame is not known yet.
    int AlturaExterna(const QString& janela) const;
    // Saves the whole screen as a PNG file; false when it could not.
    bool Capturar(const QString& arquivo) const;

  private:
    QString display_;
    std::unique_ptr<QProcess> servidor_;
    std::unique_ptr<QProcess> gerenciador_;
};

}  // namespace orvalis::teste
