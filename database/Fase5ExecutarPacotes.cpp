#include "app/UnPrincipal.h"
#include "database/DividirTexto.h"
#include "database/ExecutorSql.h"
#include "database/MensagemErro.h"
#include "database/PacoteSql.h"
#include "database/TransacaoBanco.h"
#include "platform/Platform.h"

#include <algorithm>
#include <exception>

namespace orvalis {

namespace {

// A piece with nothing but blanks and control characters in it: its statement would be
// a lone ";".
bool SemInstrucao(const QString& peca) {
    return std::all_of(peca.cbegin(), peca.cend(), [](QChar c) { return c.unicode() <= u' '; });
}

}  // namespace

void TfrmPrincipal::Fase5ExecutarPacotes() {
    AdicionarLog(QStringLiteral("   -  Testando versão atual do sistema. "));
    itbancoAtualizado = true;
    plataforma().ProcessMessages();
    plataforma().Sleep(1000);

    const auto proximoPacote = [this] {
        return CaminhoPacote(itDiretorioPastaMestre, lcScriptRodado + 1);
    };
    QString instrucaoPreparada;
    while (plataforma().FileExists(proximoPacote())) {
        try {
            AdicionarLog(QStringLiteral("   - Executando pacote ") +
                         QString::number(lcScriptRodado + 1));
            QStringList instrucoes;
            memoSql = LerPacote(plataforma(), proximoPacote()).split(QStringLiteral("\r\n"));
            DividirTexto(memoSql.join(QStringLiteral("\r\n")), instrucoes);
            for (const QString& peca : std::as_const(instrucoes)) {
                IBSQL1->Fechar();
                instrucaoPreparada = peca + QLatin1Char(';');
                IBSQL1->DefinirTexto(instrucaoPreparada);
                if (SemInstrucao(peca)) continue;
                IBSQL1->Executar();
                // Each statement stands on its own: a failure later in the package
                // leaves this one applied, and the backup of phase 4 undoes the run.
                IBTransaction1->CommitRetaining();
            }
            ++lcScriptRodado;
            plataforma().Sleep(2000);
            AdicionarLog(QStringLiteral("   - OK"));
        } catch (const std::exception& erro) {
            // A statement whose commit was refused still has its work in the
            // transaction: it is undone here, never committed again on the way out.
            try {
                if (IBTransaction1->Ativa()) IBTransaction1->RollbackRetaining();
            } catch (const std::exception&) {
                // The connection is gone: the server has dropped that work itself.
            }
            AdicionarLog(QStringLiteral("   - Instrução(") + instrucaoPreparada + QLatin1Char(')'));
            AdicionarLog(QStringLiteral("   - Erro = ") + MensagemErro(erro) + QLatin1Char(')'));
            itbancoAtualizado = false;
            return;
        }
    }
}

}  // namespace orvalis
