#pragma once

#include <QString>

namespace orvalis {

// The values of the report e-mail body, in the order the body shows them. Phase 1
// gathers them.
struct DadosCorpoEmail {
    QString empresa;
    QString cnpjCpf;
    QString contato;
    QString fone;
    QString email;
    QString usuario;
    QString tituloJanela;
    QString modulos;
    QString versaoInstalada;
    QString versaoNova;
};

// An interim body: one labelled line per value, in their order, lines ended by CR LF.
// Stands until the report's own template takes its place.
QString CorpoEmailProvisorio(const DadosCorpoEmail& dados);

}  // namespace orvalis
