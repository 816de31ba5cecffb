#include "app/Erros.h"
#include "app/UnPrincipal.h"
#include "platform/PlatformWrapper.h"
#include "tests/fixtures/ImpressaoQt.h"
#include "tests/support/InstalacaoTemporaria.h"

#include <QPlainTextEdit>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace orvalis {
namespace {

using teste::InstalacaoTemporaria;
using teste::PlataformaTeste;

const QString kMestre = InstalacaoTemporaria::kPastaMestre;
const QString kNovos = kMestre + "\\tmp";
const QString kBackupExecucao = InstalacaoTemporaria::kPastaBackup + "\\2.7.20261210143005";
const QString kCarimbo = "10/12/2026 14:30:05";

QStringList ComCarimbo(const QStringList& textos) {
    QStringList linhas;
    for (const QString& texto : textos) linhas << kCarimbo + texto;
    return linhas;
}

// Fails the copies whose target is `alvo`, as when that file is held by another
// process; every other call is real.
class CopiaRecusada : public PlatformWrapper {
  public:
    CopiaRecusada(Platform& real, QString alvo) : PlatformWrapper(real), alvo_(std::move(alvo)) {}
    bool CopyFile(const QString& existing, const QString& target,
                  const ProgressRoutine& progress = nullptr) override {
        if (target == alvo_) {
            SetLastError(winerror::kSharingViolation);
            return false;
        }
        return PlatformWrapper::CopyFile(existing, target, progress);
    }

  private:
    QString alvo_;
};

// The server during an update run started on 10/12/2026 at 14:30:05 over version 2.7:
// a master folder with two listed executables, one that is not listed, the updater, a
// listed name in capitals, a folder whose name ends in ".exe" and a file that is not an
// executable; the run's backup folder exists.
class AplicativosServidor : public ::testing::Test {
  protected:
    // The window's platform, when a test puts one between the window and the real one.
    using Envoltorio = std::function<std::unique_ptr<Platform>(Platform&)>;

    explicit AplicativosServidor(const Envoltorio& envolver = {})
        : envoltorio_(envolver ? envolver(plataforma) : nullptr),
          janela(envoltorio_ ? *envoltorio_ : plataforma) {
        janela.itDiretorioPastaMestre = kMestre;
        janela.itBackup = InstalacaoTemporaria::kPastaBackup;
        janela.itVersaoErp = "2.7";
        janela.itdhDataHoraAtualizacao = plataforma.agora;
        instalacao.CriarPasta(kBackupExecucao);
        instalacao.CriarPasta(kMestre + "\\antigos.exe");
        for (const char* nome : {"orvalisEmpresa.exe", "orvalisComissao2.exe", "ferramenta.exe",
                                 "orvalisAtualizador.exe", "ORVALISCENTRAL.EXE", "leia.txt"}) {
            instalacao.Escrever(kMestre + "\\" + nome, QByteArray("antigo ") + nome);
        }
        // Each wait notes how many log lines came before it.
        plataforma.aoEsperar = [this](uint32_t) {
            linhasNaEspera.push_back(janela.LinhasLog().size());
        };
    }

    QByteArray Ler(const QString& caminho) { return instalacao.Ler(caminho); }
    void EscreverNovos(std::initializer_list<const char*> nomes) {
        instalacao.CriarPasta(kNovos);
        for (const char* nome : nomes) {
            instalacao.Escrever(kNovos + "\\" + nome, QByteArray("novo ") + nome);
        }
    }

    InstalacaoTemporaria instalacao;
    PlataformaTeste& plataforma = instalacao.plataforma();

  private:
    std::unique_ptr<Platform> envoltorio_;

  protected:
    TfrmPrincipal janela;
    std::vector<qsizetype> linhasNaEspera;
};

TEST_F(AplicativosServidor, Phase3SavesTheListedExecutablesWaitingAfterEveryEntry) {
    janela.Fase3BackupAplicativos();
    EXPECT_EQ(janela.LinhasLog(), ComCarimbo({
                                      " FASE 3 de 7 - BACKUP LOCAL DOS APLICATIVOS:",
                                      "   - Fazendo backup de orvalisComissao2.exe",
                                      "   - OK",
                                      "   - Fazendo backup de orvalisEmpresa.exe",
                                      "   - OK",
                                      "   - Fase 3 concluída com sucesso",
                                  }));
    EXPECT_EQ(instalacao.Listar(kBackupExecucao),
              QStringList({"orvalisComissao2.exe", "orvalisEmpresa.exe"}));
    EXPECT_EQ(Ler(kBackupExecucao + "\\orvalisEmpresa.exe"), "antigo orvalisEmpresa.exe");
    // antigos.exe, ferramenta.exe, orvalisAtualizador.exe, ORVALISCENTRAL.EXE, then the two
    // listed ones: one second after each, in the listing's order.
    EXPECT_EQ(plataforma.esperas, std::vector<uint32_t>(6, 1000));
    EXPECT_EQ(linhasNaEspera, (std::vector<qsizetype>{1, 1, 1, 1, 3, 5}));
    EXPECT_EQ(plataforma.processamentosMensagens, 5);
}

TEST_F(AplicativosServidor, Phase3WithoutTheBackupFolderStopsAtTheFirstListedExecutable) {
    instalacao.Apagar(kBackupExecucao);
    EXPECT_THROW(janela.Fase3BackupAplicativos(), EAbort);
    EXPECT_EQ(janela.LinhasLog(),
              QStringList({kCarimbo + " FASE 3 de 7 - BACKUP LOCAL DOS APLICATIVOS:",
                           kCarimbo + "   - Fazendo backup de orvalisComissao2.exe",
                           "10/12/2026    - Erro: Falha no backup do orvalisComissao2.exe."}));
    EXPECT_EQ(plataforma.esperas, std::vector<uint32_t>(4, 1000)) << "none for the failed entry";
    EXPECT_FALSE(instalacao.Existe(kBackupExecucao));
}

TEST_F(AplicativosServidor, Phase6InstallsOnlyTheListedExecutablesTheMasterFolderHolds) {
    janela.itRestaurarBackupPrograma = true;
    EscreverNovos({"orvalisEmpresa.exe", "orvalisComissao2.exe", "orvalisCentral.exe",
                   "orvalisAtualizador.exe", "ferramenta.exe", "orvalisMonitorEmail.exe"});
    janela.Fase6AtualizarAplicativos();
    EXPECT_EQ(janela.LinhasLog(), ComCarimbo({
                                      " FASE 6 de 7 - ATUALIZAÇÃO DOS APLICATIVOS:",
                                      "    -  Fazendo atualização do orvalisComissao2.exe",
                                      "   - OK",
                                      "    -  Fazendo atualização do orvalisEmpresa.exe",
                                      "   - OK",
                                      "    - Fase 6 concluída com sucesso.",
                                  }));
    EXPECT_FALSE(janela.itRestaurarBackupPrograma);
    EXPECT_EQ(Ler(kMestre + "\\orvalisEmpresa.exe"), "novo orvalisEmpresa.exe");
    EXPECT_EQ(Ler(kMestre + "\\orvalisComissao2.exe"), "novo orvalisComissao2.exe");
    for (const char* intocado :
         {"ferramenta.exe", "orvalisAtualizador.exe", "ORVALISCENTRAL.EXE"}) {
        EXPECT_EQ(Ler(kMestre + "\\" + intocado), QByteArray("antigo ") + intocado);
    }
    EXPECT_FALSE(instalacao.Existe(kMestre + "\\orvalisMonitorEmail.exe"))
        << "nothing is added to the master folder";
    EXPECT_EQ(plataforma.esperas, std::vector<uint32_t>(6, 1000));
    EXPECT_EQ(linhasNaEspera, (std::vector<qsizetype>{1, 1, 1, 1, 3, 5}));
    EXPECT_EQ(plataforma.processamentosMensagens, 3);
}

TEST_F(AplicativosServidor, Phase6MissingANewExecutableRestoresEverySavedOneAndAborts) {
    janela.Fase3BackupAplicativos();
    instalacao.Escrever(kBackupExecucao + "\\ferramenta.exe", "salva à parte");
    janela.Memo1->clear();
    plataforma.esperas.clear();
    EscreverNovos({"orvalisComissao2.exe"});

    EXPECT_THROW(janela.Fase6AtualizarAplicativos(), EAbort);
    EXPECT_EQ(janela.LinhasLog(), ComCarimbo({
                                      " FASE 6 de 7 - ATUALIZAÇÃO DOS APLICATIVOS:",
                                      "    -  Fazendo atualização do orvalisComissao2.exe",
                                      "   - OK",
                                      "    -  Fazendo atualização do orvalisEmpresa.exe",
                                      "    - Erro: Falha na atualização do orvalisEmpresa.exe",
                                      " - Todos aplicativos originais serão restaurados.",
                                      "   - Restaurando orvalisComissao2.exe",
                                      "   - Restaurando orvalisEmpresa.exe",
                                  }));
    EXPECT_TRUE(janela.itRestaurarBackupPrograma);
    EXPECT_EQ(Ler(kMestre + "\\orvalisComissao2.exe"), "antigo orvalisComissao2.exe");
    EXPECT_EQ(Ler(kMestre + "\\orvalisEmpresa.exe"), "antigo orvalisEmpresa.exe");
    EXPECT_EQ(Ler(kMestre + "\\ferramenta.exe"), "antigo ferramenta.exe") << "not on the list";
    EXPECT_EQ(plataforma.esperas, std::vector<uint32_t>(5, 1000)) << "the restore does not wait";
}

TEST_F(AplicativosServidor, EmptyOrMissingMasterFolderIsNoError) {
    struct Caso {
        const char* descricao;
        std::function<void()> preparar;
    };
    const Caso casos[] = {
        {"no executable",
         [this] {
             instalacao.Apagar(kMestre);
             instalacao.CriarPasta(kMestre);
             instalacao.Escrever(kMestre + "\\leia.txt", "");
         }},
        {"missing", [this] { instalacao.Apagar(kMestre); }},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.descricao);
        instalacao.CriarPasta(kMestre);
        caso.preparar();
        janela.Memo1->clear();
        janela.itRestaurarBackupPrograma = true;
        janela.Fase3BackupAplicativos();
        janela.Fase6AtualizarAplicativos();
        EXPECT_EQ(janela.LinhasLog(), ComCarimbo({
                                          " FASE 3 de 7 - BACKUP LOCAL DOS APLICATIVOS:",
                                          "   - Fase 3 concluída com sucesso",
                                          " FASE 6 de 7 - ATUALIZAÇÃO DOS APLICATIVOS:",
                                          "    - Fase 6 concluída com sucesso.",
                                      }));
        EXPECT_FALSE(janela.itRestaurarBackupPrograma);
        EXPECT_TRUE(plataforma.esperas.empty());
        EXPECT_TRUE(instalacao.Listar(kBackupExecucao).isEmpty());
    }
}

class RestauracaoComCopiaRecusada : public AplicativosServidor {
  protected:
    RestauracaoComCopiaRecusada()
        : AplicativosServidor([](Platform& real) {
              return std::make_unique<CopiaRecusada>(real, kMestre + "\\orvalisComissao2.exe");
          }) {}
};

TEST_F(RestauracaoComCopiaRecusada, LogsTheFailedCopyAndRestoresTheOthers) {
    for (const char* nome : {"orvalisComissao2.exe", "orvalisEmpresa.exe", "orvalisAtualizador.exe",
                             "orvalisMonitorEmail.exe"}) {
        instalacao.Escrever(kBackupExecucao + "\\" + nome, QByteArray("salvo ") + nome);
    }
    janela.RestaurarAplicativos();
    EXPECT_EQ(janela.LinhasLog(), ComCarimbo({
                                      " - Todos aplicativos originais serão restaurados.",
                                      "   - Restaurando orvalisComissao2.exe",
                                      "  Erro: Falha na restauração do  orvalisComissao2.exe",
                                      "   - Restaurando orvalisEmpresa.exe",
                                      "   - Restaurando orvalisMonitorEmail.exe",
                                  }));
    EXPECT_EQ(Ler(kMestre + "\\orvalisComissao2.exe"), "antigo orvalisComissao2.exe");
    EXPECT_EQ(Ler(kMestre + "\\orvalisEmpresa.exe"), "salvo orvalisEmpresa.exe");
    EXPECT_EQ(Ler(kMestre + "\\orvalisMonitorEmail.exe"), "salvo orvalisMonitorEmail.exe")
        << "what was saved comes back, installed or not";
    EXPECT_EQ(Ler(kMestre + "\\orvalisAtualizador.exe"), "antigo orvalisAtualizador.exe");
    EXPECT_TRUE(plataforma.esperas.empty());
    // One after the first line, one after each "Restaurando" and one after every entry.
    EXPECT_EQ(plataforma.processamentosMensagens, 1 + 3 + 4);
}

}  // namespace
}  // namespace orvalis
