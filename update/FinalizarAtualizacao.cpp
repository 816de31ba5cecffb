#include "app/UnFuncaoOrvalis.h"
#include "app/UnPrincipal.h"
#include "database/ConexaoBanco.h"
#include "platform/Platform.h"
#include "update/Desfecho.h"

#include <QLabel>
#include <QPushButton>

#include <exception>
#include <functional>

namespace orvalis {

void TfrmPrincipal::FinalizarAtualizacao() {
    const QString dados = ExtrairPastaArquivo(itParametroCaminhoCompartilhadoBD);
    const QString arquivoLivre = dados + QStringLiteral("\\RIVELOBASE.FDB");
    // The live name, the outcome and the report all come even when closing the
    // connection fails; that error is shown once the window says how the run ended.
    std::exception_ptr erroFechamento;
    if (IBDatabase1->Conectado()) {
        try {
            IBDatabase1->Desconectar();
        } catch (...) {
            erroFechamento = std::current_exception();
        }
        plataforma_.MoveFile(dados + QStringLiteral("\\OLD_RIVELOBASE.FDB"), arquivoLivre);
    }
    const auto relancar = [&erroFechamento] {
        if (erroFechamento) std::rethrow_exception(erroFechamento);
    };
    if (!itDesconectouBanco) {
        relancar();
        return;
    }

    const bool sucesso =
        !itRestaurarBackupPrograma && itDownloadAplicativo && itbancoAtualizado && !itVersaoAntiga;
    if (sucesso) {
        const auto concluir = [this] {
            Label1->setText(QStringLiteral("Sistema Atualizado"));
            btRefresh->hide();
            for (const QString& linha : LinhasSucesso()) AdicionarLog(linha);
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
        Repintar(Label1);
    } else {
        ConcluirComFalha();
    }
    relancar();
}

void TfrmPrincipal::ConcluirComFalha() {
    const auto concluir = [this] {
        Label1->setText(QStringLiteral("Falha na atualização do Sistema"));
        for (const QString& linha : LinhasFalha()) AdicionarLog(linha);
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
    Repintar(Label1);
}

}  // namespace orvalis
