#include "files/MensagemErroSistema.h"

#include "platform/Platform.h"

namespace orvalis {

namespace {

// The size of the buffer the system fills with the text.
constexpr qsizetype kTamanhoMaximo = 256;

}  // namespace

QString MensagemErroSistema(Platform& plataforma, uint32_t codigo) {
    QString texto = plataforma.SystemErrorMessage(codigo).left(kTamanhoMaximo);
    qsizetype fim = texto.size();
    while (fim > 0 && (texto[fim - 1].unicode() <= 32 || texto[fim - 1] == QLatin1Char('.'))) {
        --fim;
    }
    texto.truncate(fim);
    return texto;
}

}  // namespace orvalis
