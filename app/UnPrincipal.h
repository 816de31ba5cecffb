#pragma once

#include "app/ExecutorEventos.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <memory>

class QCloseEvent;
class QLabel;
class QPlainTextEdit;
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
    QPushButton* btRefresh = nullptr;
    QPushButton* btOk = nullptr;
    QPushButton* btAbortar = nullptr;
    QTimer* TimerAtualizarSistema = nullptr;
    QTimer* timerAtualizaMaqLocal = nullptr;
    QTimer* tmSairAplicativo = nullptr;

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

    // --- the workstation refresh ---
    void AtualizarMaquinaLocal();
    void InstalarPacoteDll();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void CriarElementos();
    void CriarPaginaEstacao();
    void CriarPaginaServidor();
    void CriarTimers();
    // The close rule: starts the calling application again unless it is the vendor's
    // assistant, then requests the end of the program.
    void FormClose();

    Platform& plataforma_;
    ExecutorEventos executor_;
    int alturaExterna_ = 0;
    bool mostrada_ = false;
};

}  // namespace orvalis
