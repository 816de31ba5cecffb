#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace Firebird {
class IAttachment;
class ITransaction;
}  // namespace Firebird

namespace orvalis::teste {

// A Firebird database file of the tests, reached with the embedded engine on its own
// attachment, independent of the program's connection objects. Text goes both ways
// as Windows-1252, as the program's does. Errors raise ErroOrvalis.
//
// Criar() writes a fresh database from the schema script below (the ERP's parameter
// table, users and update log, with one customer row). Each variant is built once per
// process and copied, so a test pays only for a file copy.
class BancoTeste {
  public:
    enum class Variante {
        kCompleta,         // TAB_PARAMETRO with SCRIPT_RODADO = 120 and one row
        kSemScriptRodado,  // TAB_PARAMETRO without the SCRIPT_RODADO column
        kSemLinhas,        // TAB_PARAMETRO without rows
    };

    // Writes the variant to the native path `arquivo`, replacing a file there.
    static void Criar(const std::string& arquivo, Variante variante);

    // Attaches to the native path `arquivo`; stays attached (the file held open by the
    // engine) until the object goes.
    explicit BancoTeste(const std::string& arquivo);
    ~BancoTeste();

    BancoTeste(const BancoTeste&) = delete;
    BancoTeste& operator=(const BancoTeste&) = delete;

    // Runs one statement in a transaction of its own and commits it.
    void Executar(const QString& sql);
    // Every row of a query, each column as text (NULL as the empty text).
    std::vector<QStringList> Linhas(const QString& sql);
    // The first column of the first row; empty when there is no row.
    QString Valor(const QString& sql);

  private:
    Firebird::IAttachment* anexo_ = nullptr;
};

}  // namespace orvalis::teste
