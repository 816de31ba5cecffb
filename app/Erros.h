#pragma once

#include <QString>

#include <stdexcept>
#include <string>

namespace orvalis {

// The silent abort: a step that has already logged its own error line raises it. It
// unwinds the run through every clean-up, and the event that started the run ends
// without a dialog.
class EAbort : public std::exception {
  public:
    const char* what() const noexcept override { return "EAbort"; }
};

[[noreturn]] inline void Abortar() {
    throw EAbort();
}

// The program's own error. Library errors (Poco, Firebird, libarchive) become this at
// the boundary of the subsystem that calls the library; its message is shown to the
// user in the standard error box when nothing catches it.
class ErroOrvalis : public std::runtime_error {
  public:
    explicit ErroOrvalis(const QString& mensagem)
        : std::runtime_error(mensagem.toStdString()), mensagem_(mensagem) {}
    const QString& mensagem() const { return mensagem_; }

  private:
    QString mensagem_;
};

}  // namespace orvalis
