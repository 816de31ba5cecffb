#include "app/Erros.h"
#include "app/UnFuncaoOrvalis.h"
#include "app/UnPrincipal.h"
#include "database/CaminhoBanco.h"
#include "database/ConexaoBanco.h"
#include "net/CorpoEmail.h"
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
    // One run or recovery at a time on this installation, from here to the clean-up.
    std::unique_ptr<ExclusiveFile> reserva;
    try {
        if (IBDatabase1->Conectado()) IBDatabase1->Desconectar();
        Memo1->clear();
        btRefresh->hide();
        plataforma_.Sleep(2000);
        itRestaurarBackupPrograma = false;
        // A retry must never report the previous run's packages as its own.
        itbancoAtualizado = false;
        itFase5Iniciada = false;
        inicioExecucao_ = plataforma_.Now();
        bancoRetidoPelaExecucao_ = false;
        bancoRestaurado_ = false;
        falhaRestauracaoAplicativos_ = false;

        reserva = ReservarInstalacao();
        if (reserva == nullptr) {
            // Another process is updating or recovering this installation: nothing here,
            // not even its work folder, is this run's to touch.
            for (const QString& linha : LinhasFalha()) AdicionarLog(linha);
            btRefresh->show();
            btAbortar->show();
            return;
        }
        // A run that was cut off is undone before anything else, also when the vendor
        // cannot be reached; a run that cannot undo it goes no further.
        if (!RecuperarAtualizacaoInterrompida()) {
            // Phase 1 has not read the customer's data: the report says what the
            // window knows.
            CorpoEmail =
                MontarCorpoEmail(EmpresaAtualizando, QString(), QString(), QString(), EmailCliente,
                                 NomeUsuario, windowTitle(), QString(), itVersaoErp, itVersaoSite);
            ConcluirComFalha();
        } else {
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
        }
    } catch (...) {
        erro = std::current_exception();
    }

    EncerrarDiario();
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
        if (!GravarEtapa(DiarioAtualizacao::Etapa::kFase6)) Abortar();
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
            // From here a recovery keeps the new database and executables. A journal that
            // cannot say so undoes the run, as a failed stamp does.
            if (!GravarEtapa(DiarioAtualizacao::Etapa::kVersaoGravada)) Abortar();
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
    AdicionarLog(QStringLiteral("    - Restaurando Banco de Dados."));
    AdicionarLog(QStringLiteral("    - Aguarde... Isso pode demorar alguns minutos"));
    RestaurarBackupBanco();
}

DiarioAtualizacao& TfrmPrincipal::Diario() {
    if (!diario_) {
        diario_ = std::make_unique<DiarioAtualizacao>();
        diario_->inicio = inicioExecucao_.isValid() ? inicioExecucao_ : plataforma_.Now();
        diario_->bancoVivo = itParametroCaminhoCompartilhadoBD;
        diario_->bancoRetido =
            ArquivoNaPastaDe(itParametroCaminhoCompartilhadoBD, kNomeArquivoRetido);
        diario_->pastaBackup = PastaBackupExecucao();
        diario_->pastaMestre = itDiretorioPastaMestre;
    }
    return *diario_;
}

bool TfrmPrincipal::GravarEtapa(DiarioAtualizacao::Etapa etapa,
                                const std::function<void(DiarioAtualizacao&)>& completar) {
    // The run's journal says only what is on the disk: a boundary that could not be
    // written is not passed.
    DiarioAtualizacao novo = Diario();
    novo.etapa = etapa;
    if (completar) completar(novo);
    if (etapa == DiarioAtualizacao::Etapa::kFase6) novo.fase6Iniciada = true;
    if (novo.Gravar(plataforma_)) {
        *diario_ = std::move(novo);
        return true;
    }
    AdicionarLog(QStringLiteral("   - Erro: Não foi possível gravar o diário da atualização ") +
                 DiarioAtualizacao::Caminho(plataforma_) + QStringLiteral(": ") +
                 plataforma_.SystemErrorMessage(plataforma_.LastError()));
    return false;
}

void TfrmPrincipal::EncerrarDiario() {
    if (!diario_) return;
    const std::unique_ptr<DiarioAtualizacao> diario = std::move(diario_);
    // The held name was never taken: whatever the folder holds is not this run's.
    if (diario->etapa == DiarioAtualizacao::Etapa::kRetencao && !bancoRetidoPelaExecucao_) {
        DiarioAtualizacao::Apagar(plataforma_);
        return;
    }
    const bool nadaADesfazer = diario->etapa < DiarioAtualizacao::Etapa::kFase5 ||
                               diario->etapa == DiarioAtualizacao::Etapa::kVersaoGravada ||
                               (bancoRestaurado_ && !falhaRestauracaoAplicativos_);
    const bool nomeVivo = plataforma_.FileExists(diario->bancoVivo);
    // A held file that this run did not make is somebody else's leftover.
    const bool retido = bancoRetidoPelaExecucao_ && plataforma_.FileExists(diario->bancoRetido);
    if (nadaADesfazer && nomeVivo && !retido) DiarioAtualizacao::Apagar(plataforma_);
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
