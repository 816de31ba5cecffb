#pragma once

namespace Firebird {
class ITransaction;
}

namespace orvalis {

class ConexaoBanco;

// IBTransaction1: the only transaction of the connection, with the server's default
// parameters (none are passed). It starts by itself when a query or a statement needs
// it and stays active until the connection closes, which commits it. Commit-retaining
// and rollback-retaining end its work and keep it active.
//
// Its automatic end action, taken when the query that started it is closed, is
// commit-retaining; closing a query never rolls it back.
//
// Registers itself as the connection's transaction for its whole life; the connection
// must outlive it. Failures raise ErroOrvalis with the server's message.
class TransacaoBanco {
  public:
    explicit TransacaoBanco(ConexaoBanco& conexao);
    // Commits an active transaction; an error of that is lost.
    ~TransacaoBanco();

    TransacaoBanco(const TransacaoBanco&) = delete;
    TransacaoBanco& operator=(const TransacaoBanco&) = delete;

    bool Ativa() const { return transacao_ != nullptr; }

    // The active transaction, started now if there is none. `solicitante` names the
    // object on whose behalf it starts (a query that is closed later ends it through
    // AoFecharConsulta). Raises when the connection is closed or the start fails.
    Firebird::ITransaction* Garantir(const void* solicitante);
    // Raise ErroOrvalis when the transaction is not active or the server refuses; the
    // transaction is still active afterwards in every case.
    void CommitRetaining();
    void RollbackRetaining();
    // Ends the transaction. On failure the transaction is rolled back (an error of that
    // is lost), is no longer active, and the commit's error is raised.
    void Commit();
    // Ends the transaction, undoing its work since the last commit. Never fails: on a
    // connection that is gone the server has already dropped that work, and the
    // transaction is no longer active afterwards in every case.
    void Rollback() noexcept;
    // The automatic end action for a query that is being closed.
    void AoFecharConsulta(const void* consulta);

  private:
    ConexaoBanco& conexao_;
    Firebird::ITransaction* transacao_ = nullptr;
    const void* iniciador_ = nullptr;
};

}  // namespace orvalis
