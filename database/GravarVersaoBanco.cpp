#include "app/Erros.h"
#include "app/UnPrincipal.h"
#include "database/CaminhoBanco.h"
#include "database/ConsultaSql.h"
#include "database/TextoSql.h"
#include "database/TransacaoBanco.h"
#include "platform/Platform.h"

namespace orvalis {

namespace {

const QString kErroGravacao =
    QStringLiteral("   - Erro: Falha na gravação da versão no banco de dados.");

}  // namespace

void TfrmPrincipal::GravarVersaoBanco() {
    const auto devolverNomeVivo = [this] {
        // Still connected here: when the rename is refused, the outcome renames the
        // file again after it has disconnected.
        plataforma().MoveFile(
            ArquivoNaPastaDe(itParametroCaminhoCompartilhadoBD, kNomeArquivoRetido),
            ArquivoNaPastaDe(itParametroCaminhoCompartilhadoBD, kNomeArquivoVivo));
    };
    try {
        qrAux->Fechar();
        QString instrucao = QStringLiteral(" update tab_parametro") + QString(24, u' ') +
                            QStringLiteral("set") + QString(42, u' ') +
                            QStringLiteral("script_rodado = ") + QString::number(lcScriptRodado);
        // Without a release name only the counter is written: an empty name must not
        // erase the installed version.
        if (itVersaoSite != u"SEM" && !itVersaoSite.isEmpty()) {
            instrucao += QStringLiteral("\r\n ,VERSAO_ERP = ") + TextoSql(itVersaoSite);
        }
        qrAux->DefinirTexto(instrucao);
        qrAux->ExecSQL();
        try {
            IBTransaction1->CommitRetaining();
        } catch (const ErroOrvalis&) {
            try {
                IBTransaction1->RollbackRetaining();
            } catch (const ErroOrvalis&) {
                // The commit's error is the one to report.
            }
            // Raised, not swallowed: a stamp that did not reach the disk is a failed run,
            // which the driver undoes.
            throw;
        }
    } catch (...) {
        AdicionarLog(kErroGravacao);
        devolverNomeVivo();
        throw;
    }
    devolverNomeVivo();
}

}  // namespace orvalis
