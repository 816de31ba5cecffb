#include "database/TransacaoBanco.h"

#include "app/Erros.h"
#include "database/ConexaoBanco.h"
#include "database/StatusFirebird.h"

#include <firebird/Interface.h>

namespace orvalis {

TransacaoBanco::TransacaoBanco(ConexaoBanco& conexao) : conexao_(conexao) {
    conexao_.DefinirTransacao(this);
}

TransacaoBanco::~TransacaoBanco() {
    try {
        if (Ativa()) Commit();
    } catch (const ErroOrvalis&) {
        // A destructor has nobody to report to; Commit() has already rolled back.
    }
    conexao_.DefinirTransacao(nullptr);
}

Firebird::ITransaction* TransacaoBanco::Garantir(const void* solicitante) {
    if (transacao_ != nullptr) return transacao_;
    StatusFirebird status;
    // No parameter block: the server's defaults (concurrency, wait, read-write).
    Firebird::ITransaction* nova = conexao_.Anexo()->startTransaction(status.get(), 0, nullptr);
    status.Verificar();
    transacao_ = nova;
    iniciador_ = solicitante;
    return transacao_;
}

void TransacaoBanco::CommitRetaining() {
    if (!Ativa()) throw ErroOrvalis(QStringLiteral("A transação não está ativa."));
    StatusFirebird status;
    transacao_->commitRetaining(status.get());
    status.Verificar();
}

void TransacaoBanco::RollbackRetaining() {
    if (!Ativa()) throw ErroOrvalis(QStringLiteral("A transação não está ativa."));
    StatusFirebird status;
    transacao_->rollbackRetaining(status.get());
    status.Verificar();
}

void TransacaoBanco::Commit() {
    if (!Ativa()) return;
    Firebird::ITransaction* transacao = transacao_;
    transacao_ = nullptr;
    iniciador_ = nullptr;
    StatusFirebird status;
    transacao->commit(status.get());  // releases the object on success
    if (!status.Falhou()) return;
    // Left active, the transaction would keep the attachment from ever detaching.
    StatusFirebird desfazer;
    transacao->rollback(desfazer.get());
    if (desfazer.Falhou()) transacao->release();
    status.Verificar();
}

void TransacaoBanco::Rollback() noexcept {
    if (!Ativa()) return;
    Firebird::ITransaction* transacao = transacao_;
    transacao_ = nullptr;
    iniciador_ = nullptr;
    StatusFirebird status;
    transacao->rollback(status.get());  // releases the object on success
    if (status.Falhou()) transacao->release();
}

void TransacaoBanco::AoFecharConsulta(const void* consulta) {
    if (Ativa() && consulta != nullptr && consulta == iniciador_) CommitRetaining();
}

}  // namespace orvalis
