#include "app/UnFuncaoOrvalis.h"
#include "tests/fixtures/ImpressaoQt.h"
#include "tests/support/InstalacaoTemporaria.h"

#include <gtest/gtest.h>

namespace orvalis {
namespace {

using teste::InstalacaoTemporaria;

TEST(AplicativoAtualizavel, AcceptsTheNineteenVendorApplicationsOnly) {
    struct Caso {
        QString caminho;
        bool aceito;
    };
    const Caso casos[] = {
        {"C:\\orvalis Empresa\\Atualizador\\orvalisEmpresa.exe", true},
        {"orvalisEmpresa.exe", true},
        {"C:orvalisEmpresa.exe", true},
        {"\\\\servidor\\orvalis\\orvalisEmpresa.exe", true},
        {"ORVALISEMPRESA.EXE", false},
        {"orvalisempresa.exe", false},
        {"orvalisEmpresa.EXE", false},
        {"orvalisEmpresa.exe ", false},
        {" orvalisEmpresa.exe", false},
        {"orvalisEmpresa", false},
        {"C:\\orvalis Empresa\\Atualizador\\orvalisEmpresa.exe\\", false},
        {"C:\\orvalis Empresa\\Atualizador\\orvalisAtualizador.exe", false},
        {"orvalisAtualizador.exe", false},
        {"D:\\outro\\orvalisAtualizador.exe", false},
        {"AtualizaçãoDiaria.exe", true},
        {"AtualizacaoDiaria.exe", false},
        {"AtualizacaoNFe.exe", true},
        {"AtualizaçãoNFe.exe", false},
        {"orvalisPDV.exe", false},
        {"WinRAR.exe", false},
        {"*.exe", false},
        {"", false},
    };
    for (const Caso& caso : casos) {
        EXPECT_EQ(AplicativoAtualizavel(caso.caminho), caso.aceito) << caso.caminho.toStdString();
    }
}

TEST(AplicativoAtualizavel, AcceptsEveryNameOfTheListUnderAnyFolder) {
    const char* const nomes[] = {
        "orvalispdv.exe",          "orvalisMonitorPublicacao.exe", "orvalisMonitorMagento.exe",
        "orvalisMonitorNFSe.exe",  "orvalisServicosImpressao.exe", "orvalisMonitorClientar.exe",
        "orvalisComissao2.exe",    "AtualizaçãoDiaria.exe",        "orvalisCentral.exe",
        "AtualizacaoNFe.exe",      "orvalisArmazenagem.exe",       "orvalisEmpresa.exe",
        "orvalisLaboratorial.exe", "orvalisMonitorDANFE.exe",      "orvalisMonitorMDFe.exe",
        "orvalisAssistente.exe",   "orvalisConectado.exe",         "orvalisDownload.exe",
        "orvalisMonitorEmail.exe",
    };
    for (const char* nome : nomes) {
        const QString texto = QString::fromUtf8(nome);
        EXPECT_TRUE(AplicativoAtualizavel(texto)) << nome;
        EXPECT_TRUE(AplicativoAtualizavel("C:\\orvalis Empresa\\Atualizador\\" + texto)) << nome;
        EXPECT_FALSE(AplicativoAtualizavel(texto.toUpper())) << nome;
    }
}

class ArquivoLock : public ::testing::Test {
  protected:
    const QString banco = InstalacaoTemporaria::kPastaDados + "\\RIVELOBASE.FDB";
    InstalacaoTemporaria instalacao;
};

TEST_F(ArquivoLock, JoinsTheDatabasePathAndTheTrimmedBaseName) {
    struct Caso {
        QString aplicativo;
        QString lock;  // the file, in the data folder, that is deleted
    };
    const Caso casos[] = {
        {"orvalisComissao2.exe", "RIVELOBASE.FDBorvalisComissao2.lock"},
        {"orvalisMonitorEmail.exe", "RIVELOBASE.FDBorvalisMonitorEmail.lock"},
        {"orvalisMonitorPublicacao.exe", "RIVELOBASE.FDBorvalisMonitorPublicacao.lock"},
        {" orvalisComissao2.exe \t", "RIVELOBASE.FDBorvalisComissao2.lock"},
        {"C:\\outra pasta\\orvalisComissao2.exe", "RIVELOBASE.FDBorvalisComissao2.lock"},
        {"orvalis.Comissao2.exe", "RIVELOBASE.FDBorvalis.Comissao2.lock"},
        {"orvalisComissao2", "RIVELOBASE.FDB.lock"},
        {"", "RIVELOBASE.FDB.lock"},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.aplicativo.toStdString());
        const QString lock = InstalacaoTemporaria::kPastaDados + "\\" + caso.lock;
        const QString outro = InstalacaoTemporaria::kPastaDados + "\\RIVELOBASE.FDB";
        instalacao.Escrever(lock, "lock");
        instalacao.Escrever(outro, "banco");
        ApagarArquivoLock(instalacao.plataforma(), caso.aplicativo, banco);
        EXPECT_FALSE(instalacao.Existe(lock));
        EXPECT_EQ(instalacao.Listar(InstalacaoTemporaria::kPastaDados),
                  QStringList({"RIVELOBASE.FDB"}));
    }
}

TEST_F(ArquivoLock, WithoutALockFileDoesNothing) {
    instalacao.Escrever(banco, "banco");
    instalacao.Escrever(InstalacaoTemporaria::kPastaDados + "\\orvalisComissao2.lock", "lock");
    ApagarArquivoLock(instalacao.plataforma(), "orvalisComissao2.exe", banco);
    EXPECT_EQ(instalacao.Listar(InstalacaoTemporaria::kPastaDados),
              QStringList({"RIVELOBASE.FDB", "orvalisComissao2.lock"}))
        << "the lock name has no separator after the database path";
    ApagarArquivoLock(instalacao.plataforma(), "orvalisComissao2.exe",
                      "C:\\nao existe\\RIVELOBASE.FDB");
    EXPECT_TRUE(instalacao.plataforma().mensagens.empty());
}

}  // namespace
}  // namespace orvalis
