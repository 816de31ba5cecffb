#include "app/UnFuncaoOrvalis.h"
#include "app/UnPrincipal.h"
#include "database/ConexaoBanco.h"
#include "platform/Platform.h"
#include "update/Desfecho.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <exception>
#include <vector>

namespace orvalis {

void TfrmPrincipal::TimerAtualizarSistemaTimer() {
    TimerAtualizarSistema->stop();
    executor_.ExecutarExecucao([this] { AtualizarSistema(); });
}

void TfrmPrincipal::btRefreshClick() {
    // A second click (or Enter on the focused button) during a run, its wait included,
    // or on a button already hidden, must not start another run over the same system.
    if (btRefresh->isHidden()) return;
    executor_.ExecutarExecucao([this] {
        btAbortar->hide();
        plataforma_.ProcessMessages();
        plataforma_.Sleep(2000);
        AtualizarSistema();
    });
}

void TfrmPrincipal::AtualizarSistema() {
    Label1->setText(QStringLiteral("Aguarde… Atualizando o sistema"));
    Repintar(Label1);

    std::exception_ptr erro;
    try {
        if (IBDatabase1->Conectado()) IBDatabase1->Desconectar();
        Memo1->clear();
        btRefresh->hide();
        plataforma_.Sleep(2000);
        itRestaurarBackupPrograma = false;
        // A retry must never report the previous run's packages as its own.
        itbancoAtualizado = false;
        itFase5Iniciada = false;

        AdicionarLog(QStringLiteral(" FASE 1 de 7 - VERIFICAÇÕES INICIAIS"));
        AdicionarLog(QStringLiteral("   - Testando conexão com o site da orvalis"));
        if (itVersaoSite == QLatin1String("SEM")) {
            AdicionarLog(QStringLiteral("   - Erro: Falha na conexão com o site"));
            for (const QString& linha : LinhasFalha()) AdicionarLog(linha);
            btRefresh->show();
            btAbortar->show();
        } else {
            AdicionarLog(QStringLiteral("   - OK"));
            try {
                ExecutarFases();
            } catch (...) {
                erro = std::current_exception();
            }
            // Phase 7 runs whatever happened in the phases; an error of its own takes
            // the place of the one passing through.
            try {
                FinalizarAtualizacao();
            } catch (...) {
                erro = std::current_exception();
            }
        }
    } catch (...) {
        erro = std::current_exception();
    }

    LimparPastaTmp();
    GravarConectado(plataforma_, QStringLiteral("ATUALIZAR"));
    if (erro) std::rethrow_exception(erro);
}

void TfrmPrincipal::ExecutarFases() {
    Fase1Verificacoes();
    if (itVersaoAntiga) return;

    itDownloadAplicativo = true;
    Fase2DownloadAplicativos();
    if (!itDownloadAplicativo) return;

    BaixarEDescompactar(QStringLiteral("sql.rar"),
                        PastaAtualizador(plataforma_) + QStringLiteral("\\tmp"), true);
    AdicionarLog(QStringLiteral("   - Fase 2 concluida com sucesso."));
    Fase3BackupAplicativos();

    try {
        Fase4BackupBanco();
    } catch (...) {
        // A failed backup stops before any package ran; an error that escaped the
        // package runner leaves the database part changed.
        if (itFase5Iniciada) RestaurarBancoDaExecucao();
        throw;
    }
    if (!itbancoAtualizado) {
        RestaurarBancoDaExecucao();
        return;
    }

    try {
        Fase6AtualizarAplicativos();
    } catch (...) {
        // Phase 6 puts the executables back itself after a failed copy; any other
        // error leaves that to this frame.
        if (!itRestaurarBackupPrograma) RestaurarAplicativos();
        RestaurarBancoDaExecucao();
        throw;
    }
    if (!itRestaurarBackupPrograma && itDesconectouBanco && itDownloadAplicativo &&
        itbancoAtualizado && !itVersaoAntiga) {
        try {
            GravarVersaoBanco();
        } catch (...) {
            // The packages are applied and the new executables installed, but the
            // database does not say so: both go back to what the backup holds.
            RestaurarAplicativos();
            RestaurarBancoDaExecucao();
            throw;
        }
    }
}

void TfrmPrincipal::RestaurarBancoDaExecucao() {
    itbancoAtualizado = false;
    // A connection that cannot be closed cleanly must not keep the backup from coming
    // back; its refused work is rolled back, not committed a second time.
    IBDatabase1->Descartar();
    AdicionarLog(QStringLiteral("    - Restaurando Banco de Dados."));
    AdicionarLog(QStringLiteral("    - Aguarde... Isso pode demorar alguns minutos"));
    RestaurarBackupBanco();
}

void TfrmPrincipal::LimparPastaTmp() {
    // Without a master folder this would empty the tmp folder of the drive's root.
    if (itDiretorioPastaMestre.isEmpty()) return;
    const QString pasta = itDiretorioPastaMestre + QStringLiteral("\\tmp");
    std::vector<DirEntry> entradas;
    plataforma_.ListDirectory(pasta + QStringLiteral("\\*.*"), &entradas);
    for (const DirEntry& entrada : entradas) {
        plataforma_.DeleteFile(pasta + QLatin1Char('\\') + entrada.name);
    }
    plataforma_.RemoveDirectory(pasta);
}

}  // namespace orvalis
