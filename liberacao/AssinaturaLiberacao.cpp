#include "liberacao/AssinaturaLiberacao.h"

#include "liberacao/Base64.h"
#include "liberacao/ChavePublicaEd25519.h"

namespace orvalis {

QByteArray AssinaturaLiberacao::Texto(const QByteArray& assinatura) {
    return Base64::Codificar(assinatura) + QByteArrayLiteral("\r\n");
}

std::optional<QByteArray> AssinaturaLiberacao::Ler(const QByteArray& texto) {
    QByteArray base64 = texto;
    if (base64.endsWith("\r\n")) {
        base64.chop(2);
    } else if (base64.endsWith('\n')) {
        base64.chop(1);
    }
    std::optional<QByteArray> assinatura = Base64::Decodificar(base64);
    if (!assinatura || assinatura->size() != ChavePublicaEd25519::kTamanhoAssinatura) {
        return std::nullopt;
    }
    return assinatura;
}

}  // namespace orvalis
