#include "database/ExecutorSql.h"

#include "database/StatusFirebird.h"
#include "database/TransacaoBanco.h"
#include "platform/Ansi.h"

#include <firebird/Interface.h>

namespace orvalis {

namespace {
constexpr unsigned kDialeto = 3;
}

ExecutorSql::ExecutorSql(ConexaoBanco& conexao, TransacaoBanco& transacao)
    : conexao_(conexao), transacao_(transacao) {
    conexao_.Registrar(this);
}

ExecutorSql::~ExecutorSql() {
    LiberarRecursos();
    conexao_.Remover(this);
}

void ExecutorSql::LiberarRecursos() noexcept {
    // release() rather than close()/free(): it cannot fail, and the server drops what
    // the handles held with them.
    if (cursor_ != nullptr) cursor_->release();
    if (instrucao_ != nullptr) instrucao_->release();
    cursor_ = nullptr;
    instrucao_ = nullptr;
}

void ExecutorSql::Fechar() {
    LiberarRecursos();
}

void ExecutorSql::Executar() {
    Fechar();
    Firebird::IAttachment* anexo = conexao_.Anexo();
    Firebird::ITransaction* transacao = transacao_.Garantir(this);
    const QByteArray texto = ToAnsi(texto_);
    StatusFirebird status;
    instrucao_ =
        anexo->prepare(status.get(), transacao, static_cast<unsigned>(texto.size()),
                       texto.constData(), kDialeto, Firebird::IStatement::PREPARE_PREFETCH_TYPE);
    status.Verificar();
    const unsigned tipo = instrucao_->getType(status.get());
    status.Verificar();
    if (tipo == isc_info_sql_stmt_select || tipo == isc_info_sql_stmt_select_for_upd) {
        cursor_ = instrucao_->openCursor(status.get(), transacao, nullptr, nullptr, nullptr, 0);
    } else {
        instrucao_->execute(status.get(), transacao, nullptr, nullptr, nullptr, nullptr);
    }
    if (status.Falhou()) Fechar();
    status.Verificar();
}

}  // namespace orvalis
