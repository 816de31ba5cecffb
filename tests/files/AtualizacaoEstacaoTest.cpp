#include "app/RotuloClicavel.h"
#include "app/UnPrincipal.h"
#include "tests/fixtures/EscritorRar4.h"
#include "tests/fixtures/ImpressaoQt.h"
#include "tests/support/InstalacaoTemporaria.h"

#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace orvalis {
namespace {

using teste::EntradaCompactada;
using teste::EscritorRar4;
using teste::InstalacaoTemporaria;

const QString kServidor = InstalacaoTemporaria::kPastaMestre;
const QString kEstacao = InstalacaoTemporaria::kPastaEstacao;
const QString kFalhaPacote =
    "Não foi possível copiar o arquivo orvalisPacoteDll.rar para sua máquina";

QString Andamento(const QString& base) {
    return "O aplicativo " + base + " está sendo atualizado. Aguarde...";
}
QString Pronto(const QString& base) {
    return "Pronto. O aplicativo " + base + " foi atualizado e iniciará automaticamente.";
}
QString FalhaCopia(const QString& de, const QString& para, const QString& erro) {
    return " Não foi possível copiar o sistema para sua máquina\r De: " + de + "\r Para: " + para +
           "\r Erro: " + erro;
}

// What the page showed at one of the refresh's waits.
struct Momento {
    uint32_t espera;
    QString texto;
    bool linhaAtualizacoes;  // Label2, Label3 and lbUltAtualizac shown
    bool botao;              // btFase1 shown

    bool operator==(const Momento&) const = default;
};

void PrintTo(const Momento& m, std::ostream* os) {
    *os << "{" << m.espera << ", \"" << m.texto.toStdString() << "\", " << m.linhaAtualizacoes
        << ", " << m.botao << "}";
}

// A workstation started with phase 1: the server folder holds the updated application and
// the DLL package; the workstation holds its old copy and one of the DLLs already.
class AtualizacaoEstacao : public ::testing::Test {
  protected:
    AtualizacaoEstacao() {
        janela.itParametrofase = 1;
        janela.itAplicativo = "orvalisEmpresa.exe";
        janela.itDiretorioPastaMestre = kServidor;
        janela.itParametroCaminhoExecutavel = kEstacao;
        instalacao.Escrever(kServidor + "\\orvalisEmpresa.exe", "novo");
        instalacao.Escrever(kServidor + "\\orvalisPacoteDll.rar",
                            QByteArray::fromStdString(kPacote));
        instalacao.Escrever(kEstacao + "\\orvalisEmpresa.exe", "antigo");
        instalacao.Escrever(kEstacao + "\\midas.dll", "midas da estação");
        plataforma.aoEsperar = [this](uint32_t ms) {
            const bool linha = !janela.Label2->isHidden() && !janela.Label3->isHidden() &&
                               !janela.lbUltAtualizac->isHidden();
            momentos.push_back({ms, janela.lblFase1->text(), linha, !janela.btFase1->isHidden()});
        };
    }

    // As the timer runs it.
    void Executar() {
        janela.executor().ExecutarExecucao([this] { janela.timerAtualizaMaqLocalTimer(); });
    }

    const std::string kPacote = EscritorRar4::Montar({
        {"midas.dll", "midas novo", EntradaCompactada::Tipo::kArquivo},
        {"dll\\dbxfb.dll", "dbxfb novo", EntradaCompactada::Tipo::kArquivo},
    });
    InstalacaoTemporaria instalacao;
    teste::PlataformaTeste& plataforma = instalacao.plataforma();
    TfrmPrincipal janela{plataforma};
    std::vector<Momento> momentos;
};

TEST_F(AtualizacaoEstacao, TheTimerRunsTheRefreshOnce) {
    janela.timerAtualizaMaqLocal->setInterval(1);
    janela.timerAtualizaMaqLocal->start();
    QTest::qWait(200);
    EXPECT_FALSE(janela.timerAtualizaMaqLocal->isActive());
    EXPECT_EQ(plataforma.esperas, (std::vector<uint32_t>{2000, 1000, 5000, 3000}));
    EXPECT_EQ(instalacao.Ler(kEstacao + "\\orvalisEmpresa.exe"), "novo");
}

TEST_F(AtualizacaoEstacao, CopiesExtractsDeletesThePackageAndClosesStartingTheApplication) {
    Executar();
    EXPECT_EQ(momentos, (std::vector<Momento>{
                            {2000, "", false, false},
                            {1000, Andamento("orvalisEmpresa"), false, false},
                            {5000, Andamento("orvalisEmpresa"), false, false},
                            {3000, Pronto("orvalisEmpresa"), true, false},
                        }));
    EXPECT_EQ(instalacao.Listar(kEstacao),
              QStringList({"dbxfb.dll", "midas.dll", "orvalisEmpresa.exe"}));
    EXPECT_EQ(instalacao.Ler(kEstacao + "\\orvalisEmpresa.exe"), "novo");
    EXPECT_EQ(instalacao.Ler(kEstacao + "\\dbxfb.dll"), "dbxfb novo");
    EXPECT_EQ(instalacao.Ler(kEstacao + "\\midas.dll"), "midas da estação") << "never overwritten";
    EXPECT_TRUE(instalacao.Existe(kServidor + "\\orvalisPacoteDll.rar"));
    ASSERT_EQ(plataforma.execucoes.size(), 1u) << "the close rule ran";
    EXPECT_EQ(plataforma.execucoes[0].arquivo, kEstacao + "\\orvalisEmpresa.exe");
    EXPECT_EQ(plataforma.execucoes[0].parametros, "orvalisEmpresa.exe");
    EXPECT_EQ(plataforma.pedidosTermino, 1);
    EXPECT_TRUE(plataforma.mensagens.empty());
}

TEST_F(AtualizacaoEstacao, ACloseDuringTheRefreshIsIgnoredAndTheRuleRunsOnce) {
    // The user closes the window wherever the refresh lets window messages through.
    int fechamentos = 0;
    plataforma.aoProcessarMensagens = [&] {
        ++fechamentos;
        EXPECT_FALSE(janela.close());
        EXPECT_TRUE(plataforma.execucoes.empty() || !janela.isVisible())
            << "nothing is started before the refresh closes the window itself";
    };
    Executar();
    EXPECT_GE(fechamentos, 3);
    EXPECT_EQ(instalacao.Ler(kEstacao + "\\orvalisEmpresa.exe"), "novo");
    ASSERT_EQ(plataforma.execucoes.size(), 1u) << "started once, by the refresh's own close";
    EXPECT_EQ(plataforma.pedidosTermino, 1);
    plataforma.aoProcessarMensagens = nullptr;
    janela.close();
    EXPECT_EQ(plataforma.execucoes.size(), 1u) << "the close rule runs once per program run";
    EXPECT_EQ(plataforma.pedidosTermino, 1);
}

TEST_F(AtualizacaoEstacao, VariantsThatStillRefreshTheApplication) {
    struct Caso {
        const char* descricao;
        QString aplicativo;
        std::function<void(InstalacaoTemporaria&)> preparar;
        QString base;
        QString textoPacote;  // lblFase1 at the 1000 ms wait
        QStringList estacao;  // the workstation folder afterwards
        bool iniciado;        // the close rule starts the application
    };
    const Caso casos[] = {
        {"a name without a dot",
         "orvalisEmpresa",
         [](InstalacaoTemporaria&) {},
         "",
         Andamento(""),
         {"dbxfb.dll", "midas.dll", "orvalisEmpresa", "orvalisEmpresa.exe"},
         true},
        {"the assistant",
         "orvalisAssistente.exe",
         [](InstalacaoTemporaria&) {},
         "orvalisAssistente",
         Andamento("orvalisAssistente"),
         {"dbxfb.dll", "midas.dll", "orvalisAssistente.exe", "orvalisEmpresa.exe"},
         false},
        {"the assistant in capitals",
         "ORVALISASSISTENTE.EXE",
         [](InstalacaoTemporaria&) {},
         "ORVALISASSISTENTE",
         Andamento("ORVALISASSISTENTE"),
         {"ORVALISASSISTENTE.EXE", "dbxfb.dll", "midas.dll", "orvalisEmpresa.exe"},
         false},
        {"the server without the package",
         "orvalisEmpresa.exe",
         [](InstalacaoTemporaria& i) { i.Apagar(kServidor + "\\orvalisPacoteDll.rar"); },
         "orvalisEmpresa",
         kFalhaPacote,
         {"midas.dll", "orvalisEmpresa.exe"},
         true},
        // The package that stays from an earlier refresh is unpacked, and kept: it is not
        // a copy this refresh made.
        {"the server without the package, an old one on the workstation",
         "orvalisEmpresa.exe",
         [this](InstalacaoTemporaria& i) {
             i.Apagar(kServidor + "\\orvalisPacoteDll.rar");
             i.Escrever(kEstacao + "\\orvalisPacoteDll.rar", QByteArray::fromStdString(kPacote));
         },
         "orvalisEmpresa",
         kFalhaPacote,
         {"dbxfb.dll", "midas.dll", "orvalisEmpresa.exe", "orvalisPacoteDll.rar"},
         true},
        {"a damaged package",
         "orvalisEmpresa.exe",
         [this](InstalacaoTemporaria& i) {
             i.Escrever(kServidor + "\\orvalisPacoteDll.rar",
                        QByteArray::fromStdString(kPacote.substr(0, kPacote.size() - 20)));
         },
         "orvalisEmpresa",
         Andamento("orvalisEmpresa"),
         {"midas.dll", "orvalisEmpresa.exe"},
         true},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.descricao);
        InstalacaoTemporaria outra;
        outra.Escrever(kServidor + "\\orvalisPacoteDll.rar", QByteArray::fromStdString(kPacote));
        outra.Escrever(kServidor + "\\" + caso.aplicativo, "novo");
        outra.Escrever(kEstacao + "\\orvalisEmpresa.exe", "antigo");
        outra.Escrever(kEstacao + "\\midas.dll", "midas da estação");
        caso.preparar(outra);
        TfrmPrincipal janelaCaso(outra.plataforma());
        janelaCaso.itAplicativo = caso.aplicativo;
        janelaCaso.itDiretorioPastaMestre = kServidor;
        janelaCaso.itParametroCaminhoExecutavel = kEstacao;
        std::vector<QString> textos;
        outra.plataforma().aoEsperar = [&](uint32_t) {
            textos.push_back(janelaCaso.lblFase1->text());
        };

        janelaCaso.executor().ExecutarExecucao([&] { janelaCaso.timerAtualizaMaqLocalTimer(); });

        EXPECT_EQ(textos, (std::vector<QString>{"", caso.textoPacote, caso.textoPacote,
                                                Pronto(caso.base)}));
        EXPECT_EQ(outra.plataforma().esperas, (std::vector<uint32_t>{2000, 1000, 5000, 3000}));
        EXPECT_EQ(outra.Listar(kEstacao), caso.estacao);
        EXPECT_EQ(outra.Ler(kEstacao + "\\" + caso.aplicativo), "novo");
        EXPECT_EQ(outra.Ler(kEstacao + "\\midas.dll"), "midas da estação");
        EXPECT_EQ(outra.plataforma().execucoes.size(), caso.iniciado ? 1u : 0u);
        EXPECT_EQ(outra.plataforma().pedidosTermino, 1);
        EXPECT_TRUE(outra.plataforma().mensagens.empty());
    }
}

TEST_F(AtualizacaoEstacao, ApplicationRunningOnTheWorkstationShowsTheFourLineError) {
    // The workstation's copy is a program that runs while the refresh tries to replace it.
    const QString local = kEstacao + "\\orvalisEmpresa.exe";
    instalacao.Apagar(local);
    ASSERT_TRUE(QFile::copy("/bin/sleep", instalacao.Nativo(local)));
    QProcess aplicativo;
    aplicativo.start(instalacao.Nativo(local), {"60"});
    ASSERT_TRUE(aplicativo.waitForStarted());

    Executar();
    aplicativo.kill();
    aplicativo.waitForFinished();

    const QString erro = FalhaCopia(
        kServidor + "\\orvalisEmpresa.exe", local,
        "O processo não pode acessar o arquivo porque ele está sendo usado por outro processo");
    EXPECT_EQ(janela.lblFase1->text(), erro);
    EXPECT_EQ(momentos, (std::vector<Momento>{
                            {2000, "", false, false},
                            {1000, Andamento("orvalisEmpresa"), false, false},
                            {5000, Andamento("orvalisEmpresa"), false, false},
                        }));
    EXPECT_FALSE(janela.btFase1->isHidden());
    EXPECT_EQ(janela.focusWidget(), janela.btFase1);
    EXPECT_TRUE(janela.Label2->isHidden());
    EXPECT_EQ(QFile(instalacao.Nativo(local)).size(), QFile("/bin/sleep").size());
    EXPECT_TRUE(plataforma.execucoes.empty()) << "the window stays open";
    EXPECT_EQ(plataforma.pedidosTermino, 0);
    EXPECT_FALSE(instalacao.Existe(kEstacao + "\\orvalisPacoteDll.rar"));
    EXPECT_EQ(instalacao.Ler(kEstacao + "\\dbxfb.dll"), "dbxfb novo");

    // Its button ends the program through the close rule, which starts the old copy.
    janela.btFase1->click();
    ASSERT_EQ(plataforma.execucoes.size(), 1u);
    EXPECT_EQ(plataforma.execucoes[0].arquivo, local);
    EXPECT_EQ(plataforma.pedidosTermino, 1);
}

TEST_F(AtualizacaoEstacao, WorkstationFolderEqualToTheServerFolderKeepsTheServersPackage) {
    janela.itParametroCaminhoExecutavel = kServidor;
    Executar();
    const QString aplicativo = kServidor + "\\orvalisEmpresa.exe";
    EXPECT_EQ(janela.lblFase1->text(),
              FalhaCopia(aplicativo, aplicativo,
                         "O processo não pode acessar o arquivo porque ele está sendo usado "
                         "por outro processo"));
    EXPECT_EQ(momentos[1].texto, kFalhaPacote);
    EXPECT_EQ(instalacao.Ler(kServidor + "\\orvalisPacoteDll.rar"),
              QByteArray::fromStdString(kPacote));
    EXPECT_EQ(instalacao.Ler(aplicativo), "novo");
    EXPECT_FALSE(janela.btFase1->isHidden());
    EXPECT_EQ(janela.focusWidget(), janela.btFase1);
    EXPECT_TRUE(plataforma.execucoes.empty());
}

}  // namespace
}  // namespace orvalis
