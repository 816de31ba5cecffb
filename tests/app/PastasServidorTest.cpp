#include "app/UnFuncaoOrvalis.h"
#include "app/UnPrincipal.h"
#include "platform/Ansi.h"
#include "tests/support/InstalacaoTemporaria.h"

#include <gtest/gtest.h>

namespace orvalis {
namespace {

using teste::InstalacaoTemporaria;
using Mensagem = teste::PlataformaTeste::Mensagem;

TEST(MontarPastasServidor, DerivesTheDatabaseFileAndTheBackupRoot) {
    struct Caso {
        QString mestre, banco, backup;
    };
    const Caso casos[] = {
        {"C:\\orvalis Empresa\\Atualizador", "C:\\orvalis Empresa\\Dados\\Rivelobase.fdb",
         "C:\\orvalis Empresa\\Backup"},
        {"C:\\orvalis Empresa\\Atualizador\\",
         "C:\\orvalis Empresa\\Atualizador\\Dados\\Rivelobase.fdb",
         "C:\\orvalis Empresa\\Atualizador\\Backup"},
        {"C:\\Atualizador", "C:\\Dados\\Rivelobase.fdb", "C:\\Backup"},
        {"\\\\servidor\\orvalis\\Atualizador", "\\\\servidor\\orvalis\\Dados\\Rivelobase.fdb",
         "\\\\servidor\\orvalis\\Backup"},
        {"Atualizador", "Dados\\Rivelobase.fdb", "Backup"},
        {"", "Dados\\Rivelobase.fdb", "Backup"},
    };
    InstalacaoTemporaria instalacao;
    TfrmPrincipal janela(instalacao.plataforma());
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.mestre.toStdString());
        janela.itDiretorioPastaMestre = caso.mestre;
        EXPECT_EQ(janela.MontarPastasServidor(), caso.backup);
        EXPECT_EQ(janela.itParametroCaminhoCompartilhadoBD, caso.banco);
    }
}

class PastaDados : public ::testing::Test {
  protected:
    InstalacaoTemporaria instalacao;
    teste::PlataformaTeste& plataforma = instalacao.plataforma();
    const QString mestre = InstalacaoTemporaria::kPastaMestre;

    void EscreverIni(const QString& nome, const QString& arquivoBanco) {
        instalacao.Escrever(mestre + "\\" + nome,
                            ToAnsi("[IniServidor]\r\nnomearquivo=" + arquivoBanco + "\r\n"));
    }
    QStringList Textos() const {
        QStringList textos;
        for (const Mensagem& m : plataforma.mensagens) {
            EXPECT_EQ(m.titulo, "Aviso do Sistema");
            EXPECT_EQ(m.icone, MessageIcon::Error);
            textos << m.texto;
        }
        return textos;
    }
};

TEST_F(PastaDados, WithoutAnIniIsTheDadosFolderBesideTheUpdatersFolder) {
    EXPECT_EQ(BuscarPastaDados(plataforma), "C:\\orvalis Empresa\\Dados\\");
    EXPECT_TRUE(plataforma.mensagens.empty());
    EXPECT_EQ(plataforma.pedidosTermino, 0);
}

TEST_F(PastaDados, IsTheFolderOfTheDatabaseFileTheIniNames) {
    instalacao.CriarPasta("D:\\dados");
    instalacao.Escrever("D:\\dados\\Rivelobase.fdb", "db");
    EscreverIni("orvalisempresa.ini", "D:\\dados\\Rivelobase.fdb");
    EXPECT_EQ(BuscarPastaDados(plataforma), "D:\\dados\\");
    EXPECT_TRUE(plataforma.mensagens.empty());
}

TEST_F(PastaDados, ReadsTheIniOfTheInstalledEdition) {
    instalacao.CriarPasta("D:\\dados4");
    instalacao.Escrever("D:\\dados4\\Rivelobase.fdb", "db");
    instalacao.Escrever(mestre + "\\orvalisempresa4.exe", "MZ");
    EscreverIni("ORVALISEMPRESA4.INI", "D:\\dados4\\Rivelobase.fdb");
    EscreverIni("orvalisempresa.ini", "D:\\naoexiste\\Rivelobase.fdb");
    EXPECT_EQ(BuscarPastaDados(plataforma), "D:\\dados4\\");
    EXPECT_TRUE(plataforma.mensagens.empty());
}

TEST_F(PastaDados, IgnoresTheIniOfTheOtherEdition) {
    instalacao.Escrever(mestre + "\\orvalisempresa4.exe", "MZ");
    EscreverIni("orvalisempresa.ini", "D:\\naoexiste\\Rivelobase.fdb");
    EXPECT_EQ(BuscarPastaDados(plataforma), "C:\\orvalis Empresa\\Dados\\");
    EXPECT_TRUE(plataforma.mensagens.empty());
}

TEST_F(PastaDados, ReadsTheIniAsWindowsDoes) {
    struct Caso {
        const char* descricao;
        QString ini;
    };
    const Caso casos[] = {
        {"quoted", "[IniServidor]\r\nnomearquivo=\"D:\\dados\\Rivelobase.fdb\"\r\n"},
        {"quoted, with blanks around",
         "[IniServidor]\r\n nomearquivo = \"D:\\dados\\Rivelobase.fdb\" \r\n"},
        {"the first of two keys",
         "[IniServidor]\r\nnomearquivo=D:\\dados\\Rivelobase.fdb\r\n"
         "nomearquivo=D:\\naoexiste\\Rivelobase.fdb\r\n"},
        {"the first of two sections",
         "[IniServidor]\r\nnomearquivo=D:\\dados\\Rivelobase.fdb\r\n"
         "[IniServidor]\r\nnomearquivo=D:\\naoexiste\\Rivelobase.fdb\r\n"},
    };
    instalacao.CriarPasta("D:\\dados");
    instalacao.Escrever("D:\\dados\\Rivelobase.fdb", "db");
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.descricao);
        instalacao.Escrever(mestre + "\\orvalisempresa.ini", ToAnsi(caso.ini));
        EXPECT_EQ(BuscarPastaDados(plataforma), "D:\\dados\\");
        EXPECT_TRUE(plataforma.mensagens.empty());
        EXPECT_EQ(plataforma.pedidosTermino, 0);
    }
}

TEST_F(PastaDados, AMissingDatabaseFileIsShownAndEndsTheProgram) {
    EscreverIni("orvalisempresa.ini", "D:\\naoexiste\\Rivelobase.fdb");
    EXPECT_EQ(BuscarPastaDados(plataforma), "D:\\naoexiste\\");
    EXPECT_EQ(Textos(), QStringList{"Não foi encontrado o arquivo de inicialização dentro da "
                                    "pasta orvalis Empresa"});
    EXPECT_EQ(plataforma.pedidosTermino, 1);
}

TEST_F(PastaDados, AnIniWithoutTheKeyNamesNoFile) {
    instalacao.Escrever(mestre + "\\orvalisempresa.ini", "[Outra]\r\nnomearquivo=x\r\n");
    EXPECT_EQ(BuscarPastaDados(plataforma), "");
    EXPECT_EQ(plataforma.pedidosTermino, 1);
}

TEST_F(PastaDados, AMissingDadosFolderIsShownThenTheMarkerFails) {
    instalacao.Apagar(InstalacaoTemporaria::kPastaDados);
    GravarConectado(plataforma, "ATUALIZAR");
    EXPECT_EQ(Textos(), QStringList({"Não foi encontrado a pasta Dados no servidor",
                                     "Não foi possível acessar a pasta Dados no Servidor."}));
    EXPECT_EQ(plataforma.pedidosTermino, 1);
}

TEST_F(PastaDados, MarkerHoldsExactlyTheLineWritten) {
    const QString marcador = InstalacaoTemporaria::kPastaDados + "\\Conectado.txt";
    instalacao.Escrever(marcador, "CONECTADO\r\nUSUARIO 1\r\nUSUARIO 2\r\n");
    GravarConectado(plataforma, "ATUALIZAR");
    EXPECT_EQ(instalacao.Ler(marcador), QByteArray("ATUALIZAR\r\n"));
    GravarConectado(plataforma, "Conexão");
    EXPECT_EQ(instalacao.Ler(marcador), QByteArray("Conex\xE3o\r\n")) << "ANSI code page";
    EXPECT_TRUE(plataforma.mensagens.empty());
}

TEST_F(PastaDados, AMarkerThatCannotBeWrittenIsShownNotRaised) {
    instalacao.CriarPasta(InstalacaoTemporaria::kPastaDados + "\\Conectado.txt");
    EXPECT_NO_THROW(GravarConectado(plataforma, "ATUALIZAR"));
    EXPECT_EQ(Textos(), QStringList{"Não foi possível acessar a pasta Dados no Servidor."});
    EXPECT_EQ(plataforma.pedidosTermino, 0);
}

}  // namespace
}  // namespace orvalis

namespace orvalis {
namespace {

TEST(PartesDoCaminho, FolderPartKeepsADriveRootAndStopsAtAColon) {
    struct Caso {
        QString caminho, pasta, caminhoComBarra;
    };
    const Caso casos[] = {
        {"C:\\orvalis Empresa\\Dados\\Rivelobase.fdb", "C:\\orvalis Empresa\\Dados",
         "C:\\orvalis Empresa\\Dados\\"},
        {"C:\\X.FDB", "C:\\", "C:\\"},
        {"servidor:C:\\Dados\\x.fdb", "servidor:C:\\Dados", "servidor:C:\\Dados\\"},
        {"servidor:x.fdb", "servidor:", "servidor:"},
        {"\\\\servidor\\dados\\x.fdb", "\\\\servidor\\dados", "\\\\servidor\\dados\\"},
        {"\\\\x.fdb", "\\\\", "\\\\"},
        {"\\RIVELOBASE.FDB", "", "\\"},
        {"\\", "", "\\"},
        {"\\Dados\\x.fdb", "\\Dados", "\\Dados\\"},
        {"C:\\", "C:\\", "C:\\"},
        {"Dados\\x.fdb", "Dados", "Dados\\"},
        {"x.fdb", "", ""},
        {"", "", ""},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.caminho.toStdString());
        EXPECT_EQ(ExtrairPastaArquivo(caso.caminho), caso.pasta);
        EXPECT_EQ(ExtrairCaminhoArquivo(caso.caminho), caso.caminhoComBarra);
    }
}

}  // namespace
}  // namespace orvalis
