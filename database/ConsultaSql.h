#pragma once

#include "database/ConexaoBanco.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace Firebird {
class IMessageMetadata;
class IResultSet;
class IStatement;
class ITransaction;
}  // namespace Firebird

namespace orvalis {

class TransacaoBanco;

// qrAux: runs one query text at a time on the connection and its transaction, and
// reads the columns of its current row (the first) by name, without regard to letter
// case, as text or as integer. A NULL, and every column of a result without rows, reads
// as the empty text or 0. Text travels in Windows-1252 both ways; no parameter markers
// are interpreted.
//
// Registers with the connection, which must outlive it; a disconnect closes it.
// Failures raise ErroOrvalis with the server's message and leave the query closed.
class ConsultaSql : private ConexaoBanco::Dependente {
  public:
    ConsultaSql(ConexaoBanco& conexao, TransacaoBanco& transacao);
    ~ConsultaSql();

    ConsultaSql(const ConsultaSql&) = delete;
    ConsultaSql& operator=(const ConsultaSql&) = delete;

    // Closes the result. When this query started the transaction, its end action
    // (commit-retaining) runs, and an error of it is raised.
    void Fechar();
    void DefinirTexto(const QString& texto) { texto_ = texto; }
    const QString& Texto() const { return texto_; }
    // Runs Texto() and positions the result on its first row (starting the transaction
    // if needed). A statement that returns no rows is simply executed.
    void Abrir();
    // Runs a statement that returns no rows; the query is closed afterwards.
    void ExecSQL();
    // Fechar(), DefinirTexto(texto), Abrir().
    void Executar(const QString& texto);

    bool Aberta() const { return aberta_; }
    // True when the open result has a current row.
    bool TemLinha() const { return temLinha_; }
    // The column `nome` of the current row. Raise ErroOrvalis when the query is not
    // open, when no column has that name, and (as integer) for a text that is no number.
    QString ComoTexto(const QString& nome);
    int32_t ComoInteiro(const QString& nome);

  private:
    struct Coluna {
        QString nome;  // the alias, upper-case
        unsigned deslocamento = 0;
        unsigned deslocamentoNulo = 0;
        bool blob = false;
    };

    void LiberarRecursos() noexcept override;
    void Preparar(Firebird::ITransaction* transacao);
    void DescreverColunas();
    const Coluna& ColunaDe(const QString& nome) const;
    QByteArray LerBlob(const Coluna& coluna);

    ConexaoBanco& conexao_;
    TransacaoBanco& transacao_;
    QString texto_;
    Firebird::IStatement* instrucao_ = nullptr;
    Firebird::IResultSet* cursor_ = nullptr;
    Firebird::IMessageMetadata* saida_ = nullptr;
    std::vector<Coluna> colunas_;
    std::vector<unsigned char> linha_;
    bool aberta_ = false;
    bool temLinha_ = false;
};

}  // namespace orvalis
