#pragma once

#include "database/ConexaoBanco.h"

#include <QByteArray>
#include <QString>

namespace Firebird {
class IResultSet;
class IStatement;
}  // namespace Firebird

namespace orvalis {

class TransacaoBanco;

// IBSQL1: executes one statement text at a time on the connection and its
// transaction. The text goes to the server exactly as set, in Windows-1252: no
// parameter markers are interpreted, so a ":" reaches the server unchanged. A
// statement that returns rows is opened but not moved to a first row.
//
// Registers with the connection, which must outlive it. Failures raise ErroOrvalis
// with the server's message and leave the executor closed.
//
// Executar is virtual so that a test can stand between the package runner and the
// server (to end the process between two statements); nothing else derives from it.
class ExecutorSql : private ConexaoBanco::Dependente {
  public:
    ExecutorSql(ConexaoBanco& conexao, TransacaoBanco& transacao);
    virtual ~ExecutorSql();

    ExecutorSql(const ExecutorSql&) = delete;
    ExecutorSql& operator=(const ExecutorSql&) = delete;

    // Frees the statement of the last execution. Never fails.
    void Fechar();
    void DefinirTexto(const QString& texto) { texto_ = texto; }
    const QString& Texto() const { return texto_; }
    // Closes, then prepares and executes Texto(), starting the transaction if needed.
    virtual void Executar();

  private:
    void LiberarRecursos() noexcept override;

    ConexaoBanco& conexao_;
    TransacaoBanco& transacao_;
    QString texto_;
    Firebird::IStatement* instrucao_ = nullptr;
    Firebird::IResultSet* cursor_ = nullptr;
};

}  // namespace orvalis
