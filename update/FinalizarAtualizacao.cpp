#include "app/UnFuncaoOrvalis.h"
#include "app/UnPrincipal.h"
#include "database/ConexaoBanco.h"
#include "platform/Platform.h"

#include <QLabel>
#include <QPushButton>

#include <exception>
#include <functional>

namespace orvalis {

namespace {

// Runs `passos`, then `concluir`, also when `passos` raised; that error then goes on.
void ConcluirApos(const std::function<void()>& concluir, const std::function<void()>& passos) {
    try {
        passos();
    } catch (...) {
        concluir();
        throw;
    }
    concluir();
}

}  // namespace

void TfrmPrincipal::FinalizarAtualizacao() {
    const QString dados = ExtrairPastaArquivo(itParametroCaminhoCompartilhadoBD);
    const QString arquivoLivre = dados + QStringLiteral("\\RIVELOBASE.FDB");
    if (IBDatabase1->Conectado()) {
        // The live name comes back even when closing the connection fails.
        std::exception_ptr erroFechamento;
        try {
            IBDatabase1->Desconectar();
        } catch (...) {
            erroFechamento = std::current_exception();
        }
        plataforma_.MoveFile(dados + QStringLiteral("\\OLD_RIVELOBASE.FDB"), arquivoLivre);
        if (erroFechamento) std::rethrow_exception(erroFechamento);
    }
    if (!itDesconectouBanco) return;

    const bool sucesso =
        !itRestaurarBackupPrograma && itDownloadAplicativo && itbancoAtualizado && !itVersaoAntiga;
    if (sucesso) {
        const auto concluir = [this] {
            Label1->setText(QStringLiteral("Sistema Atualizado"));
            btRefresh->hide();
            AdicionarLog(QStringLiteral(" ATUALIZAÇÃO CONCLUÍDA COM SUCESSO:"));
            AdicionarLog(QStringLiteral("   - O seu banco de dados foi atualizado."));
            AdicionarLog(
                QStringLiteral("   - A nova versão do sistema está disponível no seu servidor."));
            AdicionarLog(QStringLiteral("   - Obrigado por manter seu sistema sempre atualizado."));
            AdicionarLog(QStringLiteral("   - O sistema já está liberado para o uso."));
            btOk->show();
            btOk->setFocus();
        };
        // The closing texts and the button come whatever happens before them.
        ConcluirApos(concluir, [&] {
            ApagarArquivoLock(plataforma_, QStringLiteral("orvalisComissao2.exe"), arquivoLivre);
            ApagarArquivoLock(plataforma_, QStringLiteral("orvalisMonitorEmail.exe"), arquivoLivre);
            ApagarArquivoLock(plataforma_, QStringLiteral("orvalisMonitorPublicacao.exe"),
                              arquivoLivre);
            CopiarParaPastaUpdate();
            itErroAtualizacao = false;
            AssuntoEmail =
                QStringLiteral("orvalis Empresa - Atualização Concluída com Sucesso - Versão ") +
                itVersaoSite + QStringLiteral(" - ") + EmpresaAtualizando;
            AdicionarLog(QStringLiteral(" FASE 7 DE 7 - ENVIO DE E-MAIL INFORMATIVO:"));
            try {
                EnviarEmailLog();
            } catch (...) {
                btOk->show();
                btOk->setFocus();
            }
        });
    } else {
        const auto concluir = [this] {
            Label1->setText(QStringLiteral("Falha na atualização do Sistema"));
            AdicionarLog(QStringLiteral(" FALHA NA ATUALIZAÇÃO DO SISTEMA:"));
            AdicionarLog(
                QStringLiteral("   - O seu sistema e banco de dados não foram atualizados."));
            AdicionarLog(QStringLiteral("   - Entre em contato com o suporte técnico da orvalis."));
            AdicionarLog(QStringLiteral(
                "   - A versão anterior, sem alterações, continua disponível para o uso."));
            btAbortar->show();
            btRefresh->show();
            btRefresh->setFocus();
        };
        ConcluirApos(concluir, [&] {
            itErroAtualizacao = true;
            AssuntoEmail =
                QStringLiteral("orvalis Empresa - FALHA DA ATUALIZAÇÃO DO SISTEMA - Versão ") +
                itVersaoSite + QStringLiteral(" - ") + EmpresaAtualizando;
            AdicionarLog(QStringLiteral(" FASE 7 DE 7 - ENVIO DE E-MAIL INFORMATIVO:"));
            try {
                EnviarEmailLog();
            } catch (...) {
                btAbortar->show();
                btAbortar->setFocus();
            }
        });
    }
    Repintar(Label1);
}

}  // namespace orvalis
