#pragma once

#include <QString>

namespace orvalis {

// A server certificate that a TLS handshake refused: the host asked for, OpenSSL's
// verification code (X509_V_ERR_...), and the certificate's subject and issuer as the
// server presented them (RFC 2253 text; empty when the server sent none).
struct RecusaCertificado {
    QString host;
    int codigo = 0;
    QString titular;
    QString emissor;

    // Why, in the user's words: "certificado vencido", "emitido para outro nome", ...
    QString Motivo() const;
    // The host, the reason and the certificate in one line:
    // "<host> (<motivo>): <titular>, emitido por <emissor>".
    QString Descricao() const;
};

}  // namespace orvalis
