#pragma once

#include <QString>
#include <QStringList>

namespace orvalis {

// The texts of the report e-mail's body (CorpoEmail). Inside these texts a line break
// is a single carriage return, except after each progress-log line (CR LF), as the
// body has always been written.

// The body that phase 1 builds: the 21 lines of the report template with the
// customer's and the system's values, separated by single carriage returns, with no
// separator after the last line. Line 5 links the release-notes site in force
// (Endpoints::Atuais().urlNotas). The values go in the order the template shows them.
QString MontarCorpoEmail(const QString& empresa, const QString& cnpjCpf, const QString& contato,
                         const QString& fone, const QString& emailCliente, const QString& usuario,
                         const QString& tituloJanela, const QString& modulos,
                         const QString& versaoAnterior, const QString& versaoNova);

// What the sending appends to the body: two carriage returns, "LOG DE EXECUÇÃO:" and a
// carriage return, every line of `linhasLog` followed by CR LF, one carriage return,
// then the outcome block of a failed run (`erro`) or of a successful one.
QString BlocosAnexados(const QStringList& linhasLog, bool erro);

// The lines of a body: broken at every CR, every LF and every CR LF pair (one break).
// A break at the very end does not start another line; the empty text has no lines.
QStringList LinhasCorpo(const QString& corpo);

}  // namespace orvalis
