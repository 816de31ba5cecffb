#include "app/LinhaComando.h"
#include "app/UnPrincipal.h"
#include "tests/support/InstalacaoTemporaria.h"

#include <QDir>
#include <QLabel>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>

namespace orvalis {
namespace {

using teste::InstalacaoTemporaria;

TEST(LinhaComando, SplitsAsWindowsProgramsDo) {
    struct Caso {
        QString linha;
        QStringList argumentos;
    };
    const Caso casos[] = {
        {"prog.exe @F2 @V2.7", {"prog.exe", "@F2", "@V2.7"}},
        {"  prog.exe\t@F2\r\n@V2.7  ", {"prog.exe", "@F2", "@V2.7"}},
        {"\"C:\\orvalis Empresa\\prog.exe\" \"@MC:\\orvalis Empresa\\Atualizador\"",
         {"C:\\orvalis Empresa\\prog.exe", "@MC:\\orvalis Empresa\\Atualizador"}},
        {"prog @M\"C:\\a b\"\\c", {"prog", "@MC:\\a b\\c"}},
        {"prog \"\" @F1", {"prog", "@F1"}},
        {"prog \"@Aunterminated quote", {"prog", "@Aunterminated quote"}},
        {"prog @Mpasta§com§secao", {"prog", "@Mpasta§com§secao"}},
        {"", {}},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.linha.toStdString());
        EXPECT_EQ(DividirLinhaComando(caso.linha), caso.argumentos);
    }
}

TEST(LinhaComando, ReadsWholeNumbersOrTheDefault) {
    const std::pair<QString, int> casos[] = {
        {"1", 1},
        {"12", 12},
        {"-5", -5},
        {"+7", 7},
        {" 3", 3},
        {"$1F", 31},
        {"0x10", 16},
        {"", -99},
        {"x", -99},
        {"3a", -99},
        {"1 ", -99},
        {"2147483647", 2147483647},
        {"2147483648", -99},
        {"-2147483648", -2147483647 - 1},
        {"١", -99},
    };
    for (const auto& [texto, valor] : casos) {
        SCOPED_TRACE(texto.toStdString());
        EXPECT_EQ(TextoParaInteiro(texto, -99), valor);
    }
}

class Parametros : public ::testing::Test {
  protected:
    InstalacaoTemporaria instalacao;
    teste::PlataformaTeste& plataforma = instalacao.plataforma();
    TfrmPrincipal janela{plataforma};

    void Iniciar(const QString& argumentos) {
        plataforma.linhaComando = "orvalisAtualizador.exe " + argumentos;
        janela.FormShow();
    }
};

struct CasoArgumentos {
    const char* argumentos;
    int fase;
    int usuario;
    const char* versaoErp;
    const char* mestre;
    const char* aplicativo;
};

TEST_F(Parametros, ReadTheCommandLineAsTheErpWritesIt) {
    const CasoArgumentos casos[] = {
        {"@F1", 1, 0, "", "", ""},
        {"@f12", 1, 0, "", "", ""},
        {"@F", 0, 0, "", "", ""},
        {"@Fx", 0, 0, "", "", ""},
        {"@F2", 2, 0, "", "", ""},
        {"@F2 @Iabc", 2, -99, "", "", ""},
        {"@F2 @I", 2, -99, "", "", ""},
        {"@i42", 0, 42, "", "", ""},
        {"@V2.7 @F2 @V2.8", 2, 0, "2.7", "", ""},
        {"@v2§7", 0, 0, "2 7", "", ""},
        {"@MC:\\orvalis§Empresa\\Atualizador @Aorvalis§Empresa.exe", 0, 0, "",
         "C:\\orvalis Empresa\\Atualizador", "orvalis§Empresa.exe"},
        {"\"@MC:\\orvalis Empresa\\Atualizador\" @X1 xyz @", 0, 0, "",
         "C:\\orvalis Empresa\\Atualizador", ""},
    };
    for (const CasoArgumentos& caso : casos) {
        SCOPED_TRACE(caso.argumentos);
        TfrmPrincipal j(plataforma);
        plataforma.linhaComando = QString("orvalisAtualizador.exe ") + caso.argumentos;
        j.LerParametros();
        EXPECT_EQ(j.itParametrofase, caso.fase);
        EXPECT_EQ(j.itUsuario, caso.usuario);
        EXPECT_EQ(j.itVersaoErp, caso.versaoErp);
        EXPECT_EQ(j.itDiretorioPastaMestre, caso.mestre);
        EXPECT_EQ(j.itAplicativo, caso.aplicativo);
    }
}

TEST_F(Parametros, DerivesTheFoldersAndWritesTheTechnicalInformation) {
    plataforma.agora = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7));
    Iniciar(
        "@F2 @MC:\\orvalis§Empresa\\Atualizador @BSERVIDOR:C:\\orvalis§Empresa\\Dados\\"
        "Rivelobase.fdb @ED:\\orvalis§Estacao @AorvalisEmpresa.exe @V2.7 @I1");
    EXPECT_EQ(janela.itParametroCaminhoBD, "SERVIDOR:C:\\orvalis Empresa\\Dados\\Rivelobase.fdb");
    EXPECT_EQ(janela.itParametroCaminhoExecutavel, "D:\\orvalis Estacao");
    EXPECT_EQ(janela.itParametroCaminhoCompartilhadoBD,
              "C:\\orvalis Empresa\\Dados\\Rivelobase.fdb");
    EXPECT_EQ(janela.itBackup, "C:\\orvalis Empresa\\Backup");
    EXPECT_EQ(janela.itdhDataHoraAtualizacao, plataforma.agora);
    EXPECT_EQ(janela.itVersaoSite, "SEM") << "the vendor's FTP site is not reachable here";
    EXPECT_EQ(janela.LinhasInformacoes(),
              QStringList({"Versão Atual do Sistema: 2.7", "Nova versão do sistema: SEM",
                           "Banco de dados: SERVIDOR:C:\\orvalis Empresa\\Dados\\Rivelobase.fdb",
                           "Pasta para backup da versão atual: C:\\orvalis "
                           "Empresa\\Backup\\2.7.20260304050607",
                           "Pasta para atualização local: C:\\orvalis Empresa\\Atualizador"}));
    EXPECT_TRUE(instalacao.Existe("C:\\orvalis Empresa\\Backup\\2.7.20260304050607"));
}

TEST_F(Parametros, AnEmptyInstalledVersionCreatesOnlyTheBackupRoot) {
    Iniciar("@F2 @MC:\\orvalis§Empresa\\Atualizador");
    EXPECT_EQ(janela.LinhasInformacoes()[3],
              "Pasta para backup da versão atual: C:\\orvalis Empresa\\Backup\\.20261210143005");
    EXPECT_EQ(instalacao.Listar(InstalacaoTemporaria::kPastaBackup), QStringList());
    EXPECT_TRUE(instalacao.Existe(InstalacaoTemporaria::kPastaBackup));
}

TEST_F(Parametros, ServerUpdateShowsItsPageAndArmsItsTimer) {
    Iniciar("@F2 @MC:\\orvalis§Empresa\\Atualizador @V2.7");
    EXPECT_EQ(janela.PageControl1->currentWidget(), janela.TabSheet4);
    EXPECT_EQ(janela.lbFase2->text(),
              "Já está tudo pronto para fazer a atualização do sistema orvalis Empresa \rda "
              "versão 2.7 para a versão SEM.");
    EXPECT_EQ(janela.AlturaExterna(), 354);
    EXPECT_TRUE(janela.TimerAtualizarSistema->isActive());
    EXPECT_FALSE(janela.timerAtualizaMaqLocal->isActive());
    EXPECT_FALSE(janela.tmSairAplicativo->isActive());
    EXPECT_TRUE(plataforma.mensagens.empty());
    EXPECT_GE(plataforma.processamentosMensagens, 2);
}

TEST_F(Parametros, WorkstationRefreshShowsItsPageAndArmsItsTimer) {
    const std::pair<QString, QString> casos[] = {
        {"orvalisEmpresa.exe", "orvalisEmpresa"},
        {"orvalis.Empresa.exe", "orvalis"},
        {"semponto", ""},
    };
    for (const auto& [aplicativo, nome] : casos) {
        SCOPED_TRACE(aplicativo.toStdString());
        TfrmPrincipal j(plataforma);
        plataforma.linhaComando = "orvalisAtualizador.exe @F1 @A" + aplicativo;
        j.FormShow();
        EXPECT_EQ(j.PageControl1->currentWidget(), j.TabSheet1);
        EXPECT_EQ(
            j.lblFase1->text(),
            "Iniciando os procedimentos para a atualização do aplicativo " + nome + ". Aguarde...");
        EXPECT_EQ(j.AlturaExterna(), 100);
        EXPECT_TRUE(j.timerAtualizaMaqLocal->isActive());
        EXPECT_FALSE(j.TimerAtualizarSistema->isActive());
    }
}

TEST_F(Parametros, WithoutArgumentsSaysSoAndEndsBeforeTheUpdateStarts) {
    // The backup root is then relative to the current folder.
    const QString anterior = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(instalacao.Nativo(InstalacaoTemporaria::kPastaMestre)));
    plataforma.linhaComando = "orvalisAtualizador.exe";
    janela.FormShow();
    QDir::setCurrent(anterior);

    ASSERT_EQ(plataforma.mensagens.size(), 1u);
    EXPECT_EQ(plataforma.mensagens[0].texto,
              "Esse aplicativo tem que ser executado a partir do orvalisEmpresa");
    EXPECT_EQ(plataforma.mensagens[0].titulo, "Aviso do Sistema");
    EXPECT_EQ(plataforma.mensagens[0].icone, MessageIcon::None);
    EXPECT_TRUE(janela.tmSairAplicativo->isActive());
    EXPECT_TRUE(janela.TimerAtualizarSistema->isActive());
    EXPECT_LT(janela.tmSairAplicativo->interval(), janela.TimerAtualizarSistema->interval());
    EXPECT_EQ(janela.PageControl1->currentWidget(), janela.TabSheet4);
    EXPECT_EQ(janela.itVersaoSite, "SEM");
    EXPECT_EQ(janela.itBackup, "Backup");
    EXPECT_TRUE(instalacao.Existe(InstalacaoTemporaria::kPastaMestre + "\\Backup"));
    EXPECT_EQ(janela.lbFase2->text(),
              "Já está tudo pronto para fazer a atualização do sistema orvalis Empresa \rda "
              "versão  para a versão SEM.");
}

}  // namespace
}  // namespace orvalis
