#include "app/UnPrincipal.h"

#include "app/IndicadorAndamento.h"
#include "app/LinhaComando.h"
#include "app/PaginasDoPrograma.h"
#include "app/RotuloClicavel.h"
#include "app/RotuloQuebraLinha.h"
#include "database/ConexaoBanco.h"
#include "database/ConsultaSql.h"
#include "database/ExecutorSql.h"
#include "database/TransacaoBanco.h"
#include "liberacao/ManifestoLiberacao.h"
#include "net/ClienteFtp.h"
#include "net/ClientePop3.h"
#include "net/ClienteSmtp.h"
#include "net/ConfiguracaoTls.h"
#include "net/Endpoints.h"
#include "net/MensagemEmail.h"
#include "platform/Platform.h"
#include "update/Desfecho.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QLabel>
#include <QMoveEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTimer>
#include <QWindow>

namespace orvalis {

namespace {

constexpr int kLarguraCliente = 495;
constexpr int kAlturaEscolhaPagina = 325;

QFont Fonte(int alturaPixels, bool negrito = false) {
    QFont fonte(QStringLiteral("Tahoma"));
    fonte.setPixelSize(alturaPixels);
    fonte.setBold(negrito);
    return fonte;
}

QLabel* NovoRotulo(QWidget* pai, const char* nome, const QString& texto, int esquerda, int topo,
                   int alturaFonte) {
    auto* rotulo = new RotuloQuebraLinha(texto, pai);
    rotulo->setObjectName(QString::fromLatin1(nome));
    rotulo->setFont(Fonte(alturaFonte));
    rotulo->move(esquerda, topo);
    rotulo->adjustSize();
    return rotulo;
}

QPushButton* NovoBotao(QWidget* pai, const char* nome, const QString& texto, const QRect& area,
                       QStyle::StandardPixmap bitmap) {
    auto* botao = new QPushButton(texto, pai);
    botao->setObjectName(QString::fromLatin1(nome));
    botao->setGeometry(area);
    if (bitmap != QStyle::SP_CustomBase) botao->setIcon(pai->style()->standardIcon(bitmap));
    return botao;
}

QTimer* NovoTimer(QObject* pai, const char* nome, int intervalo) {
    auto* timer = new QTimer(pai);
    timer->setObjectName(QString::fromLatin1(nome));
    timer->setInterval(intervalo);
    return timer;
}

QStringList Linhas(const QPlainTextEdit* memo) {
    QStringList linhas;
    const QTextDocument* documento = memo->document();
    if (documento->isEmpty()) return linhas;
    for (QTextBlock bloco = documento->begin(); bloco.isValid(); bloco = bloco.next()) {
        linhas << bloco.text();
    }
    return linhas;
}

}  // namespace

TfrmPrincipal::TfrmPrincipal(Platform& plataforma, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      plataforma_(plataforma),
      executor_(plataforma, QStringLiteral("orvalisAtualizador")) {
    IBDatabase1 = std::make_unique<ConexaoBanco>(plataforma_);
    IBTransaction1 = std::make_unique<TransacaoBanco>(*IBDatabase1);
    IBSQL1 = std::make_unique<ExecutorSql>(*IBDatabase1, *IBTransaction1);
    qrAux = std::make_unique<ConsultaSql>(*IBDatabase1, *IBTransaction1);
    IdSMTP1 = std::make_unique<ClienteSmtp>();
    IdPOP31 = std::make_unique<ClientePop3>();
    IdMessage1 = std::make_unique<MensagemEmail>();
    IdSSLIOHandlerSocketOpenSSL1 = std::make_unique<ConfiguracaoTls>();
    IdFTP1 = std::make_unique<ClienteFtp>();
    setObjectName(QStringLiteral("frmPrincipal"));
    setWindowTitle(QStringLiteral("orvalis Atualizador - Versão 2.8"));
    setFont(Fonte(11));
    setAutoFillBackground(true);
    QPalette fundo = palette();
    fundo.setColor(QPalette::Window, Qt::white);
    setPalette(fundo);
    CriarElementos();
    DefinirAlturaExterna(kAlturaEscolhaPagina);
    // Kept hidden until the event loop shows it.
    setVisible(false);
}

TfrmPrincipal::~TfrmPrincipal() = default;

void TfrmPrincipal::CriarElementos() {
    // The tab strip of the outer page control lies above the client area, so that only
    // the program switches pages.
    PageControl1 = new PaginasDoPrograma(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(-3, -24, 501, 375);
    PageControl1->tabBar()->setFixedHeight(24);
    PageControl1->tabBar()->setEnabled(false);
    PageControl1->setFocusPolicy(Qt::NoFocus);
    CriarPaginaEstacao();
    CriarPaginaServidor();
    CriarTimers();
}

void TfrmPrincipal::CriarPaginaEstacao() {
    TabSheet1 = new QWidget();
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    PageControl1->addTab(TabSheet1, QStringLiteral("TabSheet1"));

    lblFase1 = NovoRotulo(TabSheet1, "lblFase1", QString(), 9, 17, 13);
    lblFase1->setWordWrap(true);
    lblFase1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblFase1->setFixedSize(478, 136);

    Label2 = NovoRotulo(TabSheet1, "Label2", QStringLiteral("Clique"), 10, 47, 13);
    Label3 = new RotuloClicavel(QStringLiteral("aqui"), TabSheet1);
    Label3->setObjectName(QStringLiteral("Label3"));
    QFont link = Fonte(13);
    link.setUnderline(true);
    Label3->setFont(link);
    QPalette azul = Label3->palette();
    azul.setColor(QPalette::WindowText, Qt::blue);
    Label3->setPalette(azul);
    Label3->move(49, 47);
    Label3->adjustSize();
    lbUltAtualizac = NovoRotulo(
        TabSheet1, "lbUltAtualizac",
        QStringLiteral("para consultar o conteúdo das últimas atualizações."), 78, 47, 13);
    btFase1 = NovoBotao(TabSheet1, "btFase1", QStringLiteral("OK"), QRect(216, 107, 75, 25),
                        QStyle::SP_CustomBase);
    Label2->hide();
    Label3->hide();
    lbUltAtualizac->hide();
    btFase1->hide();

    connect(Label3, &RotuloClicavel::clicado, this,
            [this] { executor_.Executar([this] { Label3Click(); }); });
    connect(btFase1, &QPushButton::clicked, this,
            [this] { executor_.Executar([this] { btFase1Click(); }); });
    // The page's enter event: the focus moves from outside the page to inside it.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* antes, QWidget* agora) {
        auto naPagina = [this](QWidget* w) { return w != nullptr && TabSheet1->isAncestorOf(w); };
        if (naPagina(agora) && !naPagina(antes) && agora != btFase1) {
            executor_.Executar([this] { TabSheet1Enter(); });
        }
    });
}

void TfrmPrincipal::CriarPaginaServidor() {
    TabSheet4 = new QWidget();
    TabSheet4->setObjectName(QStringLiteral("TabSheet4"));
    PageControl1->addTab(TabSheet4, QStringLiteral("TabSheet4"));

    PageControl2 = new QTabWidget(TabSheet4);
    PageControl2->setObjectName(QStringLiteral("PageControl2"));
    PageControl2->setGeometry(0, 0, 493, 259);

    TabSheet2 = new QWidget();
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    PageControl2->addTab(TabSheet2, QStringLiteral("1. Atualização"));
    lbFase2 = NovoRotulo(TabSheet2, "lbFase2", QString(), 2, 5, 11);
    lbFase2->setWordWrap(true);
    lbFase2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lbFase2->setFixedSize(479, 36);
    Label1 = NovoRotulo(TabSheet2, "Label1", QStringLiteral("Aguarde… Atualizando o sistema"), 4,
                        48, 12);
    Label1->setFont(Fonte(12, true));
    Label1->adjustSize();
    Memo1 = new QPlainTextEdit(TabSheet2);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setGeometry(0, 67, 485, 164);

    TabSheet3 = new QWidget();
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    PageControl2->addTab(TabSheet3, QStringLiteral("2. Informações Técnicas"));
    MemoInform = new QPlainTextEdit(TabSheet3);
    MemoInform->setObjectName(QStringLiteral("MemoInform"));
    MemoInform->setReadOnly(true);
    MemoInform->setGeometry(0, 0, 485, 231);
    PageControl2->setCurrentWidget(TabSheet2);

    // Where the buttons are once a run has ended; while work runs they are hidden.
    pbAndamento = new QProgressBar(TabSheet4);
    pbAndamento->setObjectName(QStringLiteral("pbAndamento"));
    pbAndamento->setGeometry(3, 263, 489, 12);
    pbAndamento->setTextVisible(false);
    pbAndamento->hide();
    lbAndamento = NovoRotulo(TabSheet4, "lbAndamento", QString(), 3, 277, 11);
    lbAndamento->setFixedSize(489, 16);
    lbAndamento->hide();
    indicadorAndamento_ =
        std::make_unique<IndicadorAndamento>(plataforma_, pbAndamento, lbAndamento);

    btRefresh = NovoBotao(TabSheet4, "btRefresh", QStringLiteral("Tentar Novamente"),
                          QRect(3, 263, 126, 29), QStyle::SP_BrowserReload);
    btOk = NovoBotao(TabSheet4, "btOk", QStringLiteral("OK"), QRect(404, 263, 88, 29),
                     QStyle::SP_DialogOkButton);
    btAbortar = NovoBotao(TabSheet4, "btAbortar", QStringLiteral("Abortar"),
                          QRect(405, 263, 88, 29), QStyle::SP_DialogCancelButton);
    btRefresh->hide();
    btOk->hide();
    btAbortar->hide();

    // Every further run of the update; the run itself goes through the executor.
    connect(btRefresh, &QPushButton::clicked, this, [this] { btRefreshClick(); });
    connect(btOk, &QPushButton::clicked, this,
            [this] { executor_.Executar([this] { btOkClick(); }); });
    connect(btAbortar, &QPushButton::clicked, this,
            [this] { executor_.Executar([this] { btOkClick(); }); });
}

void TfrmPrincipal::CriarTimers() {
    TimerAtualizarSistema = NovoTimer(this, "TimerAtualizarSistema", 6000);
    timerAtualizaMaqLocal = NovoTimer(this, "timerAtualizaMaqLocal", 2000);
    tmSairAplicativo = NovoTimer(this, "tmSairAplicativo", 1000);
    TimerRecuperarAtualizacao = NovoTimer(this, "TimerRecuperarAtualizacao", 1000);
    connect(TimerAtualizarSistema, &QTimer::timeout, this,
            [this] { TimerAtualizarSistemaTimer(); });
    connect(timerAtualizaMaqLocal, &QTimer::timeout, this,
            [this] { executor_.ExecutarExecucao([this] { timerAtualizaMaqLocalTimer(); }); });
    connect(tmSairAplicativo, &QTimer::timeout, this,
            [this] { executor_.Executar([this] { tmSairAplicativoTimer(); }); });
    connect(TimerRecuperarAtualizacao, &QTimer::timeout, this,
            [this] { TimerRecuperarAtualizacaoTimer(); });
}

void TfrmPrincipal::DefinirAlturaExterna(int altura) {
    alturaExterna_ = altura;
    AplicarAlturaExterna();
}

void TfrmPrincipal::AplicarAlturaExterna() {
    // The program speaks of the outer height; the frame is what the window system
    // adds around the client area. It is known only once the window manager has framed
    // the window, some time after the first show: the height is applied again when the
    // window is exposed or moved.
    const QMargins margens =
        windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
    const int moldura = margens.top() + margens.bottom();
    const int cliente = std::max(0, alturaExterna_ - moldura);
    if (height() != cliente || minimumWidth() != kLarguraCliente) {
        setFixedSize(kLarguraCliente, cliente);
    }
}

void TfrmPrincipal::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    AplicarAlturaExterna();
}

bool TfrmPrincipal::eventFilter(QObject* objeto, QEvent* event) {
    if (objeto == windowHandle() && event->type() == QEvent::Expose) AplicarAlturaExterna();
    return QWidget::eventFilter(objeto, event);
}

void TfrmPrincipal::Repintar(QWidget* widget) {
    widget->repaint();
}

void TfrmPrincipal::AdicionarLog(const QString& texto) {
    const QDateTime agora = plataforma_.Now();
    QString carimbo = plataforma_.FormatShortDate(agora.date());
    if (agora.time() != QTime(0, 0, 0)) {
        carimbo += QLatin1Char(' ') + plataforma_.FormatLongTime(agora.time());
    }
    Memo1->appendPlainText(carimbo + texto);
}

void TfrmPrincipal::AdicionarLogComData(const QString& texto) {
    Memo1->appendPlainText(plataforma_.FormatShortDate(plataforma_.Now().date()) + texto);
}

QStringList TfrmPrincipal::LinhasLog() const {
    return Linhas(Memo1);
}

QStringList TfrmPrincipal::LinhasInformacoes() const {
    return Linhas(MemoInform);
}

void TfrmPrincipal::showEvent(QShowEvent* event) {
    // A window manager may frame the window without moving it: its native window says
    // when it is on the screen.
    if (windowHandle() != nullptr) windowHandle()->installEventFilter(this);
    AplicarAlturaExterna();
    if (!mostrada_ && !event->spontaneous()) {
        mostrada_ = true;
        executor_.Executar([this] { FormShow(); });
        // Centred on the screen when it is first shown, at the height just chosen.
        if (QScreen* tela = screen()) {
            QRect area = frameGeometry();
            area.moveCenter(tela->availableGeometry().center());
            move(area.topLeft());
        }
    }
    QWidget::showEvent(event);
}

void TfrmPrincipal::FormShow() {
    // The support technician's start on the server, without arguments, from a folder
    // that holds the journal of an interrupted update: its undo comes first, in place
    // of the notice that only the ERP starts this program.
    if (Argumentos(plataforma_).isEmpty() && DiarioAtualizacao::Existe(plataforma_)) {
        PrepararRecuperacao();
        return;
    }
    LerParametros();
    PrepararTela();
}

void TfrmPrincipal::PrepararRecuperacao() {
    DefinirAlturaExterna(354);
    PageControl1->setCurrentWidget(TabSheet4);
    lbFase2->setText(
        QStringLiteral("Uma atualização do sistema orvalis Empresa foi interrompida antes do "
                       "fim.\rO banco de dados e os aplicativos serão recuperados."));
    Label1->setText(QStringLiteral("Aguarde… Recuperando a atualização interrompida"));
    TimerRecuperarAtualizacao->start();
}

void TfrmPrincipal::TimerRecuperarAtualizacaoTimer() {
    TimerRecuperarAtualizacao->stop();
    executor_.ExecutarExecucao([this] {
        Memo1->clear();
        // The label and the button come however the recovery ends.
        const auto concluir = [this](bool recuperada) {
            Label1->setText(recuperada ? QStringLiteral("Recuperação concluída")
                                       : QStringLiteral("Falha na recuperação da atualização"));
            Repintar(Label1);
            btOk->show();
            btOk->setFocus();
        };
        const std::unique_ptr<ExclusiveFile> reserva = ReservarInstalacao();
        bool recuperada = false;
        if (reserva == nullptr) {
            concluir(recuperada);
            return;
        }
        ConcluirApos([&] { concluir(recuperada); },
                     [&] { recuperada = RecuperarAtualizacaoInterrompida(); });
    });
}

void TfrmPrincipal::closeEvent(QCloseEvent* event) {
    // Closing in the middle of a run would start the calling application and end the
    // program under a run that still holds the database, or before the workstation's
    // copy is whole. Only the workstation refresh closes the window inside its own run.
    if (!fechamentoPeloPrograma_ && executor_.EmExecucao()) {
        event->ignore();
        return;
    }
    // Once per program run: a second close must not start the application again.
    if (!regraFechamentoExecutada_) {
        regraFechamentoExecutada_ = true;
        if (fechamentoPeloPrograma_) {
            FormClose();
        } else {
            executor_.Executar([this] { FormClose(); });
        }
    }
    event->accept();
}

void TfrmPrincipal::FecharPeloPrograma() {
    fechamentoPeloPrograma_ = true;
    close();
    fechamentoPeloPrograma_ = false;
}

void TfrmPrincipal::FormClose() {
    const QString caminho = itParametroCaminhoExecutavel + QLatin1Char('\\') + itAplicativo;
    if (plataforma_.FileExists(caminho) &&
        itAplicativo.toLower() != QStringLiteral("orvalisassistente.exe")) {
        plataforma_.ShellExecute(caminho, itAplicativo);
    }
    plataforma_.RequestTerminate();
}

void TfrmPrincipal::btOkClick() {
    close();
}

void TfrmPrincipal::btFase1Click() {
    close();
}

void TfrmPrincipal::TabSheet1Enter() {
    btFase1->setFocus();
}

void TfrmPrincipal::Label3Click() {
    const QString aplicativo =
        itAplicativo.size() > 4 ? itAplicativo.left(itAplicativo.size() - 4) : QString();
    plataforma_.ShellExecute(Endpoints::Atuais().urlNotas +
                                 QStringLiteral("/search/label/Atualiza%C3%A7%C3%A3o+") +
                                 aplicativo,
                             QString());
}

void TfrmPrincipal::tmSairAplicativoTimer() {
    tmSairAplicativo->stop();
    plataforma_.RequestTerminate();
}

}  // namespace orvalis
