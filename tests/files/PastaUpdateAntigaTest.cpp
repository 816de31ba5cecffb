#include "app/Erros.h"
#include "app/UnPrincipal.h"
#include "platform/Ansi.h"
#include "platform/PlatformWrapper.h"
#include "tests/fixtures/ImpressaoQt.h"
#include "tests/support/InstalacaoTemporaria.h"

#include <QPlainTextEdit>

#include <gtest/gtest.h>

#include <new>
#include <optional>

namespace orvalis {
namespace {

using teste::InstalacaoTemporaria;

const QString kMestre = InstalacaoTemporaria::kPastaMestre;
const QString kAntiga = InstalacaoTemporaria::kRaizServidor + "\\Update";
const QString kPastaErp = InstalacaoTemporaria::kRaizServidor + "\\ERP";
const QString kConfiguracao = kPastaErp + "\\Exec-orvalisEmpresa.ini";
const QString kCarimbo = "10/12/2026 14:30:05";
const QString kCopiando =
    kCarimbo + "   - Copiando os aplicativos já atualizados para a pasta Update antiga.";
const QString kOk = kCarimbo + "   - OK";

// After a successful run: the master folder holds the new executables; the old update
// folder holds older copies of some of them, and one the master folder lacks.
class PastaUpdateAntiga : public ::testing::Test {
  protected:
    PastaUpdateAntiga() {
        janela.itDiretorioPastaMestre = kMestre;
        janela.itParametroCaminhoExecutavel = kPastaErp;
        instalacao.CriarPasta(kPastaErp);
        instalacao.CriarPasta(kAntiga);
        for (const char* nome : {"orvalisEmpresa.exe", "orvalisComissao2.exe", "ferramenta.exe"}) {
            instalacao.Escrever(kMestre + "\\" + nome, QByteArray("novo ") + nome);
        }
        for (const char* nome : {"orvalisEmpresa.exe", "ferramenta.exe", "outro.exe"}) {
            instalacao.Escrever(kAntiga + "\\" + nome, QByteArray("antigo ") + nome);
        }
        // The root of the drive, which an empty value would name.
        instalacao.Escrever("C:\\orvalisEmpresa.exe", "na raiz");
    }

    // The configuration file with `pastamestre` (none: the key is absent).
    void Configurar(const std::optional<QString>& pastaMestre) {
        QString texto = "[configuracao]\r\n";
        if (pastaMestre) texto += "pastamestre=" + *pastaMestre + "\r\n";
        instalacao.Escrever(kConfiguracao, ToAnsi(texto));
    }
    QStringList Antiga() {
        QStringList conteudo;
        for (const QString& nome : instalacao.Listar(kAntiga)) {
            conteudo << nome + "=" + QString::fromLatin1(instalacao.Ler(kAntiga + "\\" + nome));
        }
        return conteudo;
    }

    InstalacaoTemporaria instalacao;
    teste::PlataformaTeste& plataforma = instalacao.plataforma();
    TfrmPrincipal janela{plataforma};
};

const QStringList kAntigaIntocada = {"ferramenta.exe=antigo ferramenta.exe",
                                     "orvalisEmpresa.exe=antigo orvalisEmpresa.exe",
                                     "outro.exe=antigo outro.exe"};

TEST_F(PastaUpdateAntiga, CopiesTheExecutablesTheOldFolderHoldsAndDeletesTheFile) {
    struct Caso {
        const char* descricao;
        std::optional<QString> pastaMestre;
        QStringList log;
        QStringList antiga;
    };
    const Caso casos[] = {
        {"another folder",
         kAntiga,
         {kCopiando, kOk},
         // Refreshed without the list's test; nothing added, a name the master folder
         // lacks keeps its copy.
         {"ferramenta.exe=novo ferramenta.exe", "orvalisEmpresa.exe=novo orvalisEmpresa.exe",
          "outro.exe=antigo outro.exe"}},
        {"another folder in double quotes",
         "\"" + kAntiga + "\"",
         {kCopiando, kOk},
         {"ferramenta.exe=novo ferramenta.exe", "orvalisEmpresa.exe=novo orvalisEmpresa.exe",
          "outro.exe=antigo outro.exe"}},
        {"the master folder letter for letter", kMestre, {}, kAntigaIntocada},
        {"the master folder in double quotes", "\"" + kMestre + "\"", {}, kAntigaIntocada},
        // The copies onto the same files fail and are ignored.
        {"the master folder in other letter case",
         kMestre.toUpper(),
         {kCopiando, kOk},
         kAntigaIntocada},
        {"the master folder with a final backslash",
         kMestre + "\\",
         {kCopiando, kOk},
         kAntigaIntocada},
        // Never the root of the drive.
        {"empty", QString(), {kCopiando, kOk}, kAntigaIntocada},
        {"absent", std::nullopt, {kCopiando, kOk}, kAntigaIntocada},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.descricao);
        janela.Memo1->clear();
        Configurar(caso.pastaMestre);
        janela.CopiarParaPastaUpdate();
        EXPECT_EQ(janela.LinhasLog(), caso.log);
        EXPECT_EQ(Antiga(), caso.antiga);
        EXPECT_FALSE(instalacao.Existe(kConfiguracao));
        EXPECT_EQ(instalacao.Ler(kMestre + "\\orvalisEmpresa.exe"), "novo orvalisEmpresa.exe");
        EXPECT_EQ(instalacao.Ler("C:\\orvalisEmpresa.exe"), "na raiz");
        EXPECT_TRUE(plataforma.esperas.empty());
        EXPECT_EQ(plataforma.processamentosMensagens, 0);
        for (const char* nome : {"orvalisEmpresa.exe", "ferramenta.exe", "outro.exe"}) {
            instalacao.Escrever(kAntiga + "\\" + nome, QByteArray("antigo ") + nome);
        }
    }
}

TEST_F(PastaUpdateAntiga, WithoutTheFileDoesNothing) {
    janela.CopiarParaPastaUpdate();
    EXPECT_TRUE(janela.LinhasLog().isEmpty());
    EXPECT_EQ(Antiga(), kAntigaIntocada);
}

// An error that no file call reports by its result (here: memory running out while the
// file is read).
class LeituraExplode : public PlatformWrapper {
  public:
    using PlatformWrapper::PlatformWrapper;
    bool ReadFile(const QString& path, QByteArray* contents) override {
        if (path.endsWith("Exec-orvalisEmpresa.ini")) throw std::bad_alloc();
        return PlatformWrapper::ReadFile(path, contents);
    }
};

TEST_F(PastaUpdateAntiga, AnUnexpectedErrorIsLoggedAndKeepsTheFile) {
    LeituraExplode explode(plataforma);
    TfrmPrincipal outra(explode);
    outra.itDiretorioPastaMestre = kMestre;
    outra.itParametroCaminhoExecutavel = kPastaErp;
    Configurar(kAntiga);
    EXPECT_THROW(outra.CopiarParaPastaUpdate(), EAbort);
    EXPECT_EQ(outra.LinhasLog(),
              QStringList({kCarimbo + "   - Erro - Não foi possível copiar os aplicativos "
                                      "atualizados para a pasta Update antiga"}));
    EXPECT_TRUE(instalacao.Existe(kConfiguracao));
    EXPECT_EQ(Antiga(), kAntigaIntocada);
}

}  // namespace
}  // namespace orvalis
