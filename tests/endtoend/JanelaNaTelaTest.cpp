// The real program's window on an X display with a window manager, as a user's desktop
// shows it: its outer height, frame included, is the one the program sets for its page.
#include "tests/support/InstalacaoTemporaria.h"
#include "tests/support/TelaVirtual.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <ostream>

namespace orvalis {
namespace {

using teste::InstalacaoTemporaria;
using teste::TelaVirtual;

const QString kMestre = InstalacaoTemporaria::kPastaMestre;
const QString kTitulo = QString::fromUtf8("orvalis Atualizador - Versão 2.8");

struct CasoTela {
    const char* nome;
    QStringList argumentos;
    int alturaExterna;

    friend void PrintTo(const CasoTela& caso, std::ostream* saida) { *saida << caso.nome; }
};

class JanelaNaTela : public ::testing::TestWithParam<CasoTela> {};

TEST_P(JanelaNaTela, HasTheOuterHeightOfItsPageWithTheFrame) {
    InstalacaoTemporaria instalacao;
    const QString binario =
        QString::fromLocal8Bit(std::getenv("ORVALIS_BINARY_DIR")) + "/orvalisAtualizador";
    ASSERT_TRUE(QFile::copy(binario, instalacao.Nativo(kMestre + "\\orvalisAtualizador.exe")));
    std::unique_ptr<TelaVirtual> tela;
    try {
        tela = std::make_unique<TelaVirtual>();
    } catch (const std::exception& erro) {
        FAIL() << erro.what() << " (scripts/setup installs xvfb, openbox and x11-utils)";
    }

    // The vendor cannot be reached (the test process's endpoints are closed ports): the
    // server page stops at its site test and keeps its window.
    QProcess programa;
    QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert("DISPLAY", tela->Display());
    ambiente.insert("QT_QPA_PLATFORM", "xcb");
    ambiente.insert("ORVALIS_UNIDADES", instalacao.unidades());
    programa.setProcessEnvironment(ambiente);
    programa.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    programa.setStandardOutputFile(QProcess::nullDevice());
    programa.setWorkingDirectory(instalacao.Nativo(kMestre));
    programa.start(instalacao.Nativo(kMestre + "\\orvalisAtualizador.exe"), GetParam().argumentos);
    ASSERT_TRUE(programa.waitForStarted(10000));

    // The window is framed some time after it is mapped; the program follows the frame.
    QString janela;
    int altura = -1;
    QDeadlineTimer prazo(20000);
    while (!prazo.hasExpired() && programa.state() == QProcess::Running) {
        if (janela.isEmpty()) janela = tela->Janela(kTitulo);
        if (!janela.isEmpty()) altura = tela->AlturaExterna(janela);
        if (altura == GetParam().alturaExterna) break;
        QThread::msleep(100);
    }
    // Settled: it stays at that height.
    QThread::msleep(500);
    if (!janela.isEmpty()) altura = tela->AlturaExterna(janela);
    const QString captura = QString::fromLocal8Bit(std::getenv("ORVALIS_BINARY_DIR")) +
                            "/tests/janela-" + GetParam().nome + ".png";
    if (tela->Capturar(captura)) {
        RecordProperty("captura", captura.toStdString());
        std::cout << "screenshot: " << captura.toStdString() << "\n";
    }
    programa.kill();
    programa.waitForFinished(10000);

    ASSERT_FALSE(janela.isEmpty()) << "the window never appeared";
    EXPECT_EQ(altura, GetParam().alturaExterna);
}

INSTANTIATE_TEST_SUITE_P(
    Paginas, JanelaNaTela,
    ::testing::Values(CasoTela{"servidor", InstalacaoTemporaria::kArgumentosServidor, 354},
                      CasoTela{"estacao",
                               {"@F1", "@MC:\\orvalis§Empresa\\Atualizador",
                                "@ED:\\orvalis§Estacao", "@AorvalisEmpresa.exe"},
                               100}),
    [](const ::testing::TestParamInfo<CasoTela>& info) { return info.param.nome; });

}  // namespace
}  // namespace orvalis
