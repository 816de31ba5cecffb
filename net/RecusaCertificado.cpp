#include "net/RecusaCertificado.h"

#include <openssl/x509_vfy.h>

namespace orvalis {

QString RecusaCertificado::Motivo() const {
    switch (codigo) {
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return QStringLiteral("emitido para outro nome");
        case X509_V_ERR_CERT_HAS_EXPIRED:
            return QStringLiteral("certificado vencido");
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return QStringLiteral("certificado ainda não válido");
        case X509_V_ERR_CERT_REVOKED:
            return QStringLiteral("certificado revogado");
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_CERT_UNTRUSTED:
            return QStringLiteral("emissor não confiável");
        default:
            return QStringLiteral("falha na verificação, código %1").arg(codigo);
    }
}

QString RecusaCertificado::Descricao() const {
    QString texto = host + QStringLiteral(" (") + Motivo() + QStringLiteral(")");
    if (!titular.isEmpty() || !emissor.isEmpty()) {
        texto += QStringLiteral(": ") + titular + QStringLiteral(", emitido por ") + emissor;
    }
    return texto;
}

}  // namespace orvalis
