#include "database/StatusFirebird.h"

#include "app/Erros.h"
#include "platform/Ansi.h"

#include <QByteArray>
#include <QString>

#include <array>

namespace orvalis {

namespace {

// The engine writes its messages in the server's own encoding (UTF-8 here), but a
// message may quote data of the attachment, which travels in Windows-1252.
QString TextoMensagem(const QByteArray& bytes) {
    const QString utf8 = QString::fromUtf8(bytes);
    if (!utf8.contains(QChar::ReplacementCharacter)) return utf8;
    return FromAnsi(bytes);
}

}  // namespace

StatusFirebird::StatusFirebird() : status_(Mestre()->getStatus()), wrapper_(status_) {}

StatusFirebird::~StatusFirebird() {
    status_->dispose();
}

Firebird::IMaster* StatusFirebird::Mestre() {
    static Firebird::IMaster* const mestre = Firebird::fb_get_master_interface();
    return mestre;
}

bool StatusFirebird::Falhou() const {
    return (wrapper_.getState() & Firebird::IStatus::STATE_ERRORS) != 0;
}

void StatusFirebird::Limpar() {
    wrapper_.init();
}

void StatusFirebird::Verificar() {
    if (!Falhou()) return;
    std::array<char, 4096> texto{};
    Mestre()->getUtilInterface()->formatStatus(texto.data(), texto.size() - 1, &wrapper_);
    wrapper_.init();
    // One line per message of the vector; the program shows it as one log line.
    QString mensagem = TextoMensagem(QByteArray(texto.data())).trimmed();
    mensagem.replace(QLatin1Char('\n'), QLatin1Char(' '));
    throw ErroOrvalis(mensagem);
}

}  // namespace orvalis
