#pragma once

#include "app/ExecutorEventos.h"
#include "platform/Platform.h"
#include "update/DiarioAtualizacao.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class QCloseEvent;
class QMoveEvent;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QShowEvent;
class QTabWidget;
class QTimer;

namespace orvalis {

class ClienteFtp;
class ClientePop3;
class ClienteSmtp;
class ConexaoBanco;
class ConfiguracaoTls;
class ConsultaSql;
class ExecutorSql;
class IndicadorAndamento;
class ManifestoLiberacao;
class MensagemEmail;
class Platform;
class RotuloClicavel;
class TransacaoBanco;

// The updater's single window, frmPrincipal. It is at once the user interface and
// the record of a run: every value that the steps pass to one another is one of its
// public fields, and every step reports by adding lines to its progress log.
//
// The window owns its widgets, timers and service objects; they live as long as it.
// All its operations run on the user-interface thread. The platform it is given
// must outlive it.
class TfrmPrincipal : public QWidget {
    Q_OBJECT

  public:
    explicit TfrmPrincipal(Platform& plataforma, QWidget* parent = nullptr);
    ~TfrmPrincipal() override;

    TfrmPrincipal(const TfrmPrincipal&) = delete;
    TfrmPrincipal& operator=(const TfrmPrincipal&) = delete;

    // --- the main window state; empty, false or zero at creation ---
    bool itVersaoAntiga = false;
    int32_t lcScriptRodado = 0;
    int32_t itUsuario = 0;
    QString NomeUsuario;
    bool itErroAtualizacao = false;
    QString CorpoEmail;
    QString AssuntoEmail;
    QString EmailCliente;
    QString EmpresaAtualizando;
    int32_t itParametrofase = 0;
    QString itParametroCaminhoExecutavel;
    QString itParametroCaminhoBD;
    QString itParametroCaminhoCompartilhadoBD;
    QString itDiretorioPastaMestre;
    QString itAplicativo;
    QString itVersaoErp;
    QString itVersaoSite;
    QString itBackup;
    QDateTime itdhDataHoraAtualizacao;
    bool itDesconectouBanco = false;
    bool itDownloadAplicativo = false;
    bool itbancoAtualizado = false;
    bool itRestaurarBackupPrograma = false;
    // Set by the phase-5 frame on entry: from then on a run that does not reach its
    // successful end restores the database.
    bool itFase5Iniciada = false;
    // The certificates that the run's site probes refused, each as its description
    // (host, reason, subject and issuer), gathered from phase 2 on: once one is there,
    // the run downloads nothing over plain HTTP.
    QStringList itCertificadosRecusados;

    // --- service objects ---
    // The Firebird connection, its transaction, the statement executor and the query.
    std::unique_ptr<ConexaoBanco> IBDatabase1;
    std::unique_ptr<TransacaoBanco> IBTransaction1;
    std::unique_ptr<ExecutorSql> IBSQL1;
    std::unique_ptr<ConsultaSql> qrAux;
    // The FTP client of the release discovery.
    std::unique_ptr<ClienteFtp> IdFTP1;
    // The report e-mail: the SMTP and POP3 clients, the message and the SMTP
    // connection's TLS settings.
    std::unique_ptr<ClienteSmtp> IdSMTP1;
    std::unique_ptr<ClientePop3> IdPOP31;
    std::unique_ptr<MensagemEmail> IdMessage1;
    std::unique_ptr<ConfiguracaoTls> IdSSLIOHandlerSocketOpenSSL1;

    // Two scratch lists of text lines, never shown.
    QStringList memoSql;
    QStringList ListBox1;

    // --- the window's elements (owned by the widget tree) ---
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QLabel* lblFase1 = nullptr;
    QLabel* Label2 = nullptr;
    RotuloClicavel* Label3 = nullptr;
    QLabel* lbUltAtualizac = nullptr;
    QPushButton* btFase1 = nullptr;
    QWidget* TabSheet4 = nullptr;
    QTabWidget* PageControl2 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QLabel* lbFase2 = nullptr;
    QLabel* Label1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QWidget* TabSheet3 = nullptr;
    QPlainTextEdit* MemoInform = nullptr;
    // The progress of a long piece of work (a download, a database copy, an extraction):
    // a bar and one line of text under the log, hidden while no such work runs.
    QProgressBar* pbAndamento = nullptr;
    QLabel* lbAndamento = nullptr;
    QPushButton* btRefresh = nullptr;
    QPushButton* btOk = nullptr;
    QPushButton* btAbortar = nullptr;
    QTimer* TimerAtualizarSistema = nullptr;
    QTimer* timerAtualizaMaqLocal = nullptr;
    QTimer* tmSairAplicativo = nullptr;
    // Armed instead of the others when the program is started without arguments from
    // a folder that holds the journal of an interrupted server update.
    QTimer* TimerRecuperarAtualizacao = nullptr;

    // --- progress log and window ---
    // Appends the stamp (short date, a blank, long time; the date alone at 00:00:00)
    // and `texto` as one line.
    void AdicionarLog(const QString& texto);
    // Appends a line stamped with the short date alone, whatever the time.
    void AdicionarLogComData(const QString& texto);
    // The lines of the progress log, oldest first.
    QStringList LinhasLog() const;
    // The lines of the technical information view.
    QStringList LinhasInformacoes() const;
    // The outer height (title bar and borders included) last set by the program.
    int AlturaExterna() const { return alturaExterna_; }
    void DefinirAlturaExterna(int altura);
    // Repaints a widget at once, as a step that changes a text does.
    static void Repintar(QWidget* widget);

    Platform& plataforma() const { return plataforma_; }
    // Shows the progress of long work on the server page (see IndicadorAndamento).
    IndicadorAndamento& indicadorAndamento() { return *indicadorAndamento_; }
    ExecutorEventos& executor() { return executor_; }

    // --- events ---
    void FormShow();
    void btOkClick();
    void btFase1Click();
    void TabSheet1Enter();
    void Label3Click();
    void tmSairAplicativoTimer();
    void TimerAtualizarSistemaTimer();
    void btRefreshClick();
    void timerAtualizaMaqLocalTimer();
    void TimerRecuperarAtualizacaoTimer();

    // --- launch parameters and folders ---
    void LerParametros();
    void PrepararTela();
    // Sets itParametroCaminhoCompartilhadoBD from itDiretorioPastaMestre and returns
    // the backup root. Never looks at the disk.
    QString MontarPastasServidor();
    // The run's backup folder: itBackup + "\" + itVersaoErp + "." + the run stamp.
    QString PastaBackupExecucao() const;
    // itdhDataHoraAtualizacao written "yyyymmddhhmmss".
    QString CarimboExecucao() const;
    // Release discovery over FTP: "SEM" when the site could not be used, the empty
    // text when no listed name contains "ERP", otherwise the last such name.
    void BuscarVersaoSite(QString& versao);
    // Closes the release discovery's FTP connection, if open. Never fails.
    void DesconectarFtp();

    // --- the server update ---
    void AtualizarSistema();
    // The phases of one run in their order and conditions, undoing the database and
    // the executables when a failure comes after phase 5 has begun.
    void ExecutarFases();
    // Closes the connection and puts the database back from the run's backup, as after
    // a failed package statement; leaves itbancoAtualizado false.
    void RestaurarBancoDaExecucao();
    void LimparPastaTmp();
    void Fase1Verificacoes();
    void VerificarScriptRodado();
    void Fase2DownloadAplicativos();
    void BaixarEDescompactar(const QString& nomeArquivo, const QString& pastaDestino,
                             bool descompactar);
    // Signed releases, when the vendor's public key is configured (Endpoints::chavePublica
    // not empty); without one both do what the unsigned release always did.
    //
    // The start of phase 2: fetches orvalisLiberacao.ini and orvalisLiberacao.sig from the
    // release folder (one base URL probe and one GET each, as a package, into memory and
    // capped) and keeps the manifest when its signature verifies with the key and its
    // version is itVersaoSite. Otherwise (a key that is not one, a file that cannot be
    // fetched, a bad signature, a manifest that cannot be read, another version) it logs
    // the one line that says which, clears itDownloadAplicativo and ends with the silent
    // abort before any package is fetched. Without a key it fetches nothing and forgets
    // any manifest of an earlier run.
    void VerificarLiberacao();
    // The download of one package for BaixarEDescompactar. With a key: refused at once
    // (its line logged, nothing fetched) when the kept manifest has no row of that name;
    // otherwise downloaded into BaixarArquivoHttp's temporary file, compared there with
    // its row (size and SHA-256, streamed) and only then renamed onto `arquivoLocal`. A
    // package that does not match is deleted and its line logged; a destination that
    // held a file keeps it. False for a refused or failed download; raises ErroOrvalis
    // when the file cannot be created or renamed. Without a key: BaixarArquivoHttp.
    bool BaixarPacoteConferido(const QString& url, const QString& nomeArquivo,
                               const QString& arquivoLocal,
                               const ProgressRoutine& progresso = nullptr);
    // The URL of the file `nome` of the release folder ("/update/Atualizacao/orvalis%20Empresa/"
    // on the base URL that BuscarSiteAtivo's probes choose now), adding every certificate
    // they refused to itCertificadosRecusados. Once a
    // certificate was refused in this run, nothing comes over plain HTTP: when the
    // probes would fall back to it, the refusals and the reason are logged,
    // itDownloadAplicativo is cleared and the silent abort ends the download.
    QString UrlDoPacote(const QString& nome);
    void Fase3BackupAplicativos();
    void Fase4BackupBanco();
    void Fase5ExecutarPacotes();
    void GravarVersaoBanco();
    void RestaurarBackupBanco();
    void Fase6AtualizarAplicativos();
    void RestaurarAplicativos();
    void CopiarParaPastaUpdate();
    void FinalizarAtualizacao();
    void EnviarEmailLog();

    // --- the journal of a server update and the recovery of an interrupted one ---
    // Records that the run has passed `etapa`, durably (see DiarioAtualizacao), with the
    // fields that `completar` sets for that boundary. The first boundary written starts
    // the run's journal from the run's state. False, with the error line logged, when the
    // journal cannot be written; the run's journal then stays as it was, and the caller
    // stops the run before the step the boundary guards.
    bool GravarEtapa(DiarioAtualizacao::Etapa etapa,
                     const std::function<void(DiarioAtualizacao&)>& completar = nullptr);
    // Finishes the undo of a server update that was cut off, as its journal in the
    // updater's folder calls for: the live name back, the database and (from phase 6
    // on) the executables from the run's backup, nothing restored once the stamp was
    // committed. Logs a header line, the run's start and one line per action, then
    // "   - OK", and deletes the journal. True also when there is no journal (nothing is
    // logged then). False when it cannot proceed: its error line says what is missing
    // and where, nothing more is changed and the journal stays.
    bool RecuperarAtualizacaoInterrompida();
    // The reservation of this installation for one run or recovery (see
    // DiarioAtualizacao::Reservar), held while the result lives. Null when another
    // process holds it; the line that says so is then logged.
    std::unique_ptr<ExclusiveFile> ReservarInstalacao();

    // --- the workstation refresh ---
    void AtualizarMaquinaLocal();
    void InstalarPacoteDll();

  protected:
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* objeto, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void CriarElementos();
    void CriarPaginaEstacao();
    void CriarPaginaServidor();
    void CriarTimers();
    // Sets the client height that gives AlturaExterna() with the frame the window has now.
    void AplicarAlturaExterna();
    // The close rule: starts the calling application again unless it is the vendor's
    // assistant, then requests the end of the program.
    void FormClose();
    // The journal of the run in progress, started from the run's state on first use.
    DiarioAtualizacao& Diario();
    bool diarioIniciado() const { return diario_ != nullptr; }
    // Closes the window from inside a run (the workstation refresh's own close): the
    // close rule runs, where a close asked for by the user during a run is ignored.
    void FecharPeloPrograma();
    // The server page for a recovery without arguments, and its timer armed.
    void PrepararRecuperacao();
    // The failure ending of a server-update run: subject, report e-mail, label, closing
    // lines and the retry button.
    void ConcluirComFalha();
    // At the end of a run: deletes the run's journal when the database is under its live
    // name again with nothing left to undo; otherwise it stays for the recovery.
    void EncerrarDiario();

    Platform& plataforma_;
    ExecutorEventos executor_;
    std::unique_ptr<IndicadorAndamento> indicadorAndamento_;
    // The manifest that this run's phase 2 verified; null without a key or before then.
    std::unique_ptr<ManifestoLiberacao> liberacaoConferida_;
    int alturaExterna_ = 0;
    bool mostrada_ = false;
    bool fechamentoPeloPrograma_ = false;
    bool regraFechamentoExecutada_ = false;
    // The journal of the run in progress, from its first boundary to the run's end.
    std::unique_ptr<DiarioAtualizacao> diario_;
    QDateTime inicioExecucao_;
    // This run took the held name for the database (phase 1's rename succeeded).
    bool bancoRetidoPelaExecucao_ = false;
    // The run's own undo: the database copied back, and an executable it could not put
    // back.
    bool bancoRestaurado_ = false;
    bool falhaRestauracaoAplicativos_ = false;
};

}  // namespace orvalis
