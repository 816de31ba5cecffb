#include "database/MensagemErro.h"

#include "app/Erros.h"

namespace orvalis {

QString MensagemErro(const std::exception& erro) {
    if (const auto* proprio = dynamic_cast<const ErroOrvalis*>(&erro)) return proprio->mensagem();
    return QString::fromUtf8(erro.what());
}

}  // namespace orvalis
