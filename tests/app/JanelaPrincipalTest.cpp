#include "app/RotuloClicavel.h"
#include "app/UnPrincipal.h"
#include "net/Endpoints.h"
#include "tests/support/InstalacaoTemporaria.h"

#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <utility>

namespace orvalis {
namespace {

using teste::InstalacaoTemporaria;

class JanelaPrincipal : public ::testing::Test {
  protected:
    InstalacaoTemporaria instalacao;
    teste::PlataformaTeste& plataforma = instalacao.plataforma();
    TfrmPrincipal janela{plataforma};
};

TEST_F(JanelaPrincipal, StartsWithTheStateEmptyAndHidden) {
    EXPECT_EQ(janela.objectName(), "frmPrincipal");
    EXPECT_EQ(janela.windowTitle(), "orvalis Atualizador - Versão 2.8");
    EXPECT_FALSE(janela.isVisible());
    EXPECT_EQ(janela.width(), 495);
    EXPECT_EQ(janela.AlturaExterna(), 325);
    EXPECT_EQ(janela.minimumSize(), janela.maximumSize()) << "the border is fixed";
    EXPECT_FALSE(janela.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(janela.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(janela.windowFlags() & Qt::WindowCloseButtonHint);

    EXPECT_FALSE(janela.itVersaoAntiga);
    EXPECT_EQ(janela.lcScriptRodado, 0);
    EXPECT_EQ(janela.itUsuario, 0);
    EXPECT_EQ(janela.itParametrofase, 0);
    EXPECT_TRUE(janela.itVersaoSite.isEmpty());
    EXPECT_TRUE(janela.CorpoEmail.isEmpty());
    EXPECT_FALSE(janela.itdhDataHoraAtualizacao.isValid());
    EXPECT_FALSE(janela.itDesconectouBanco || janela.itDownloadAplicativo ||
                 janela.itbancoAtualizado || janela.itRestaurarBackupPrograma ||
                 janela.itErroAtualizacao);
    EXPECT_TRUE(janela.LinhasLog().isEmpty());
    EXPECT_TRUE(janela.LinhasInformacoes().isEmpty());
}

struct Elemento {
    const char* nome;
    QString texto;
    bool visivel;
    QRect area;  // empty: the position is not checked
};

TEST_F(JanelaPrincipal, HasEveryElementWithItsCaptionAndVisibility) {
    const Elemento elementos[] = {
        {"lblFase1", "", true, QRect(9, 17, 478, 136)},
        {"Label2", "Clique", false, QRect(10, 47, 0, 0)},
        {"Label3", "aqui", false, QRect(49, 47, 0, 0)},
        {"lbUltAtualizac", "para consultar o conteúdo das últimas atualizações.", false,
         QRect(78, 47, 0, 0)},
        {"btFase1", "OK", false, QRect(216, 107, 75, 25)},
        {"lbFase2", "", true, QRect(2, 5, 479, 36)},
        {"Label1", "Aguarde… Atualizando o sistema", true, QRect(4, 48, 0, 0)},
        {"btRefresh", "Tentar Novamente", false, QRect(3, 263, 126, 29)},
        {"btOk", "OK", false, QRect(404, 263, 88, 29)},
        {"btAbortar", "Abortar", false, QRect(405, 263, 88, 29)},
    };
    for (const Elemento& e : elementos) {
        SCOPED_TRACE(e.nome);
        QWidget* w = janela.findChild<QWidget*>(e.nome);
        ASSERT_NE(w, nullptr);
        if (auto* rotulo = qobject_cast<QLabel*>(w)) {
            EXPECT_EQ(rotulo->text(), e.texto);
        }
        if (auto* botao = qobject_cast<QPushButton*>(w)) {
            EXPECT_EQ(botao->text(), e.texto);
        }
        EXPECT_EQ(!w->isHidden(), e.visivel);
        EXPECT_EQ(w->pos(), e.area.topLeft());
        if (e.area.width() > 0) {
            EXPECT_EQ(w->size(), e.area.size());
        }
    }
    EXPECT_FALSE(janela.btOk->icon().isNull());
    EXPECT_FALSE(janela.btAbortar->icon().isNull());
    EXPECT_FALSE(janela.btRefresh->icon().isNull());
    EXPECT_TRUE(janela.Label3->font().underline());
    EXPECT_EQ(janela.Label3->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_TRUE(janela.Label1->font().bold());
    EXPECT_TRUE(janela.Memo1->isReadOnly());
    EXPECT_TRUE(janela.MemoInform->isReadOnly());
}

TEST_F(JanelaPrincipal, HasTheTwoOuterPagesAndTheTwoTabsOfTheUpdatePage) {
    EXPECT_EQ(janela.PageControl1->geometry(), QRect(-3, -24, 501, 375));
    ASSERT_EQ(janela.PageControl1->count(), 2);
    EXPECT_EQ(janela.PageControl1->widget(0), janela.TabSheet1);
    EXPECT_EQ(janela.PageControl1->widget(1), janela.TabSheet4);
    ASSERT_EQ(janela.PageControl2->count(), 2);
    EXPECT_EQ(janela.PageControl2->tabText(0), "1. Atualização");
    EXPECT_EQ(janela.PageControl2->tabText(1), "2. Informações Técnicas");
    EXPECT_EQ(janela.PageControl2->currentWidget(), janela.TabSheet2);
    EXPECT_EQ(janela.Memo1->parentWidget(), janela.TabSheet2);
    EXPECT_EQ(janela.MemoInform->parentWidget(), janela.TabSheet3);
}

TEST_F(JanelaPrincipal, TimersAreDisabledWithTheirIntervals) {
    const std::pair<QTimer*, int> timers[] = {{janela.TimerAtualizarSistema, 6000},
                                              {janela.timerAtualizaMaqLocal, 2000},
                                              {janela.tmSairAplicativo, 1000}};
    for (auto [timer, intervalo] : timers) {
        SCOPED_TRACE(timer->objectName().toStdString());
        EXPECT_FALSE(timer->isActive());
        EXPECT_EQ(timer->interval(), intervalo);
    }
}

TEST_F(JanelaPrincipal, LogStampCarriesTheDateAloneAtMidnight) {
    plataforma.agora = QDateTime(QDate(2026, 12, 10), QTime(14, 30, 5));
    janela.AdicionarLog(" FASE 1 de 7 - VERIFICAÇÕES INICIAIS");
    plataforma.agora = QDateTime(QDate(2026, 12, 11), QTime(0, 0, 0));
    janela.AdicionarLog("   - OK");
    plataforma.agora = QDateTime(QDate(2026, 12, 11), QTime(0, 0, 1));
    janela.AdicionarLog("   - Erro");
    EXPECT_EQ(janela.LinhasLog(),
              QStringList({"10/12/2026 14:30:05 FASE 1 de 7 - VERIFICAÇÕES INICIAIS",
                           "11/12/2026   - OK", "11/12/2026 00:00:01   - Erro"}));
}

TEST_F(JanelaPrincipal, ExitTimerEndsTheProgramWithoutTheCloseRule) {
    janela.itParametroCaminhoExecutavel = InstalacaoTemporaria::kPastaEstacao;
    janela.itAplicativo = "orvalisEmpresa.exe";
    instalacao.Escrever(InstalacaoTemporaria::kPastaEstacao + "\\orvalisEmpresa.exe", "MZ");
    janela.tmSairAplicativo->start();
    QTest::qWait(1300);
    EXPECT_FALSE(janela.tmSairAplicativo->isActive()) << "fires once per arming";
    EXPECT_EQ(plataforma.pedidosTermino, 1);
    EXPECT_TRUE(plataforma.execucoes.empty());
}

TEST_F(JanelaPrincipal, ReleaseNotesLinkNamesTheApplicationWithoutItsExtension) {
    const std::pair<QString, QString> casos[] = {
        {"orvalisEmpresa.exe", "orvalisEmpresa"},
        {"orvalisPDV.EXE", "orvalisPDV"},
        {".exe", ""},
        {"abc", ""},
        {"", ""},
    };
    for (const auto& [aplicativo, sufixo] : casos) {
        SCOPED_TRACE(aplicativo.toStdString());
        plataforma.execucoes.clear();
        janela.itAplicativo = aplicativo;
        QTest::mouseClick(janela.Label3, Qt::LeftButton);
        ASSERT_EQ(plataforma.execucoes.size(), 1u);
        EXPECT_EQ(plataforma.execucoes[0].arquivo,
                  Endpoints::Atuais().urlNotas + "/search/label/Atualiza%C3%A7%C3%A3o+" + sufixo);
        EXPECT_TRUE(plataforma.execucoes[0].parametros.isEmpty());
    }
    plataforma.execucoes.clear();
    QTest::mouseClick(janela.Label2, Qt::LeftButton);
    QTest::mouseClick(janela.lbUltAtualizac, Qt::LeftButton);
    EXPECT_TRUE(plataforma.execucoes.empty()) << "only \"aqui\" opens the release notes";
}

TEST_F(JanelaPrincipal, FocusEnteringTheWorkstationPageGoesToItsButton) {
    // Shown as a workstation refresh starts it.
    plataforma.linhaComando =
        "orvalisAtualizador.exe @F1 @AorvalisEmpresa.exe @MC:\\orvalis§Empresa\\Atualizador";
    janela.show();
    janela.timerAtualizaMaqLocal->stop();
    janela.btFase1->show();
    QApplication::setActiveWindow(&janela);
    // The focus comes from outside the page into one of its elements.
    QPushButton fora(&janela);
    fora.show();
    fora.setFocus();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), &fora);
    janela.lblFase1->setFocusPolicy(Qt::StrongFocus);
    janela.lblFase1->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), janela.btFase1);
}

// --- the close rule ---

struct CasoFechamento {
    const char* descricao;
    QString aplicativo;
    bool arquivoExiste;
    bool iniciaAplicativo;
};

class RegraFechamento : public JanelaPrincipal,
                        public ::testing::WithParamInterface<CasoFechamento> {};

TEST_P(RegraFechamento, StartsTheCallingApplicationUnlessItIsTheAssistant) {
    const CasoFechamento& caso = GetParam();
    if (caso.arquivoExiste) {
        instalacao.Escrever(InstalacaoTemporaria::kPastaEstacao + "\\" + caso.aplicativo, "MZ");
    }
    // Every way of closing takes the same path, each in a program run of its own.
    for (auto fechar :
         {+[](TfrmPrincipal& j) { j.close(); }, +[](TfrmPrincipal& j) { j.btOkClick(); },
          +[](TfrmPrincipal& j) { j.btFase1Click(); }}) {
        plataforma.execucoes.clear();
        plataforma.pedidosTermino = 0;
        TfrmPrincipal janela(plataforma);
        janela.itParametroCaminhoExecutavel = InstalacaoTemporaria::kPastaEstacao;
        janela.itAplicativo = caso.aplicativo;
        fechar(janela);
        EXPECT_EQ(plataforma.pedidosTermino, 1);
        if (caso.iniciaAplicativo) {
            ASSERT_EQ(plataforma.execucoes.size(), 1u);
            EXPECT_EQ(plataforma.execucoes[0].arquivo,
                      InstalacaoTemporaria::kPastaEstacao + "\\" + caso.aplicativo);
            EXPECT_EQ(plataforma.execucoes[0].parametros, caso.aplicativo);
        } else {
            EXPECT_TRUE(plataforma.execucoes.empty());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Casos, RegraFechamento,
    ::testing::Values(CasoFechamento{"application", "orvalisEmpresa.exe", true, true},
                      CasoFechamento{"assistant", "orvalisAssistente.exe", true, false},
                      CasoFechamento{"assistant in capitals", "ORVALISASSISTENTE.EXE", true, false},
                      CasoFechamento{"assistant mixed", "OrvalisAssistente.Exe", true, false},
                      CasoFechamento{"missing application", "orvalisEmpresa.exe", false, false},
                      CasoFechamento{"no application named", "", false, false}),
    [](const auto& info) {
        std::string nome = info.param.descricao;
        for (char& c : nome) {
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        }
        return nome;
    });

TEST_F(JanelaPrincipal, TheCloseRuleRunsOncePerProgramRun) {
    janela.itParametroCaminhoExecutavel = InstalacaoTemporaria::kPastaEstacao;
    janela.itAplicativo = "orvalisEmpresa.exe";
    instalacao.Escrever(InstalacaoTemporaria::kPastaEstacao + "\\orvalisEmpresa.exe", "MZ");
    janela.show();
    janela.close();
    // A second close event (the close box of a window that is going, a late click).
    janela.show();
    janela.close();
    janela.btOkClick();
    EXPECT_EQ(plataforma.execucoes.size(), 1u);
    EXPECT_EQ(plataforma.pedidosTermino, 1);
}

TEST_F(JanelaPrincipal, OnlyTheProgramSwitchesTheOuterPages) {
    janela.PageControl1->setCurrentWidget(janela.TabSheet4);
    janela.btRefresh->show();
    janela.show();
    QApplication::setActiveWindow(&janela);
    janela.btRefresh->setFocus();
    using Tecla = std::pair<Qt::Key, Qt::KeyboardModifiers>;
    for (const auto& [tecla, modificadores] :
         {Tecla{Qt::Key_Tab, Qt::ControlModifier},
          Tecla{Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier},
          Tecla{Qt::Key_PageDown, Qt::ControlModifier},
          Tecla{Qt::Key_PageUp, Qt::ControlModifier}}) {
        QTest::keyClick(janela.btRefresh, tecla, modificadores);
        EXPECT_EQ(janela.PageControl1->currentWidget(), janela.TabSheet4) << tecla;
    }
    // The inner tabs stay the user's to choose.
    janela.PageControl2->tabBar()->setFocus();
    QTest::keyClick(janela.PageControl2->tabBar(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(janela.PageControl2->currentWidget(), janela.TabSheet3);
    EXPECT_EQ(janela.PageControl1->currentWidget(), janela.TabSheet4);
}

TEST_F(JanelaPrincipal, ACarriageReturnInAStatusTextIsALineBreakOnTheScreen) {
    const QString texto =
        "Já está tudo pronto para fazer a atualização do sistema orvalis "
        "Empresa \rda versão 2.7 para a versão 2.8.";
    const auto desenho = [this](const QString& t) {
        janela.lbFase2->setText(t);
        return janela.lbFase2->grab().toImage();
    };
    const QImage comRetorno = desenho(texto);
    EXPECT_EQ(janela.lbFase2->text(), texto) << "the text itself stays as it is";
    EXPECT_EQ(comRetorno, desenho(QString(texto).replace('\r', '\n')));
    EXPECT_NE(comRetorno, desenho(QString(texto).replace('\r', ' ')));
}

TEST_F(JanelaPrincipal, CloseBoxAndOkButtonDuringARunAreIgnored) {
    janela.itParametroCaminhoExecutavel = InstalacaoTemporaria::kPastaEstacao;
    janela.itAplicativo = "orvalisEmpresa.exe";
    instalacao.Escrever(InstalacaoTemporaria::kPastaEstacao + "\\orvalisEmpresa.exe", "MZ");
    janela.btOk->show();
    janela.executor().ExecutarExecucao([&] {
        EXPECT_FALSE(janela.close());
        QTest::mouseClick(janela.btOk, Qt::LeftButton);
    });
    EXPECT_EQ(plataforma.pedidosTermino, 0);
    EXPECT_TRUE(plataforma.execucoes.empty());
    // Once the run has ended, the close goes through.
    EXPECT_TRUE(janela.close());
    EXPECT_EQ(plataforma.execucoes.size(), 1u);
}

}  // namespace
}  // namespace orvalis
