// The real program, started as the ERP starts it, updating a server installation
// against the local stand-in of the vendor.
#include "tests/fixtures/EscritorRar4.h"
#include "tests/support/AtualizacaoPreparada.h"
#include "tests/support/BancoTeste.h"
#include "tests/support/FornecedorLocal.h"
#include "tests/support/InstalacaoTemporaria.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>

namespace orvalis {
namespace {

using teste::BancoTeste;
using teste::FornecedorLocal;
using teste::InstalacaoTemporaria;

const QString kMestre = InstalacaoTemporaria::kPastaMestre;
const QString kBanco = InstalacaoTemporaria::kPastaDados + "\\Rivelobase.fdb";

const FornecedorLocal::PacoteSql kPacote122Falho = {
    "orvEMP0122.sql",
    "INSERT INTO CAD_NOVIDADE VALUES (2, 'dois');;\r\n"
    "INSERT INTO TABELA_QUE_NAO_EXISTE VALUES (1);;\r\n"};

class AtualizacaoServidor : public ::testing::Test {
  protected:
    InstalacaoTemporaria instalacao;
    FornecedorLocal fornecedor;
    QProcess programa;
    QString carimbo;

    void Preparar(const FornecedorLocal::PacoteSql& pacote122) {
        ASSERT_TRUE(teste::ServidoresLocais::NomesDeTesteResolvem())
            << "run inside scripts/run-tests, whose hosts file names the test hosts";
        fornecedor.PublicarLiberacao("2.8", {FornecedorLocal::Pacote121(), pacote122});
        fornecedor.Iniciar("2.8.ERP");

        const QString binario =
            QString::fromLocal8Bit(std::getenv("ORVALIS_BINARY_DIR")) + "/orvalisAtualizador";
        ASSERT_TRUE(QFile::copy(binario, instalacao.Nativo(kMestre + "\\orvalisAtualizador.exe")));
        teste::PrepararInstalacaoServidor(instalacao,
                                          {"orvalisEmpresa.exe", "orvalisConectado.exe"});
        instalacao.Escrever(kMestre + "\\outroFornecedor.exe", "não é do orvalis");
        for (const char* lock :
             {"orvalisComissao2", "orvalisMonitorEmail", "orvalisMonitorPublicacao"}) {
            instalacao.Escrever(
                InstalacaoTemporaria::kPastaDados + "\\RIVELOBASE.FDB" + lock + ".lock", "");
        }
    }

    // Starts the program as the ERP on the server does and waits for the end of the
    // run: the marker file rewritten, then the report received.
    void Executar() {
        const QString ini = instalacao.Nativo(kMestre + "\\fornecedor.ini");
        fornecedor.GravarIni(ini);
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.insert("ORVALIS_UNIDADES", instalacao.unidades());
        ambiente.insert("ORVALIS_FORNECEDOR", ini);
        ambiente.insert("QT_QPA_PLATFORM", "offscreen");
        programa.setProcessEnvironment(ambiente);
        programa.setWorkingDirectory(instalacao.Nativo(kMestre));
        programa.setProcessChannelMode(QProcess::ForwardedChannels);
        const QString marcador = InstalacaoTemporaria::kPastaDados + "\\Conectado.txt";
        programa.start(instalacao.Nativo(kMestre + "\\orvalisAtualizador.exe"),
                       InstalacaoTemporaria::kArgumentosServidor);
        ASSERT_TRUE(programa.waitForStarted(10000));
        QDeadlineTimer prazo(300000);
        while (!(instalacao.Existe(marcador) && instalacao.Ler(marcador) == "ATUALIZAR\r\n" &&
                 !fornecedor.Mensagens().isEmpty())) {
            ASSERT_FALSE(prazo.hasExpired()) << "the run did not end";
            ASSERT_EQ(programa.state(), QProcess::Running) << "the program ended by itself";
            QThread::msleep(200);
        }
        // The window waits for its OK button; the test is done with it.
        programa.kill();
        programa.waitForFinished(10000);
        const QStringList backups = instalacao.Listar(InstalacaoTemporaria::kPastaBackup);
        ASSERT_EQ(backups.size(), 1);
        carimbo = backups[0];
    }

    QString Backup() const { return InstalacaoTemporaria::kPastaBackup + "\\" + carimbo; }
    std::string Texto(const QString& caminho) { return instalacao.Ler(caminho).toStdString(); }
};

TEST_F(AtualizacaoServidor, UpdatesTheDatabaseAndTheProgramsAndReportsSuccess) {
    Preparar(FornecedorLocal::Pacote122());
    Executar();

    EXPECT_TRUE(carimbo.startsWith("2.7.")) << carimbo.toStdString();
    EXPECT_FALSE(instalacao.Existe(InstalacaoTemporaria::kPastaDados + "\\OLD_RIVELOBASE.FDB"));
    {
        // The stamp gives the file its live name in the letter case the program writes.
        BancoTeste banco(instalacao.Encontrado(kBanco));
        EXPECT_EQ(banco.Valor("SELECT SCRIPT_RODADO FROM TAB_PARAMETRO"), "122");
        EXPECT_EQ(banco.Valor("SELECT VERSAO_ERP FROM TAB_PARAMETRO"), "2.8");
        EXPECT_EQ(banco.Valor("SELECT TOTAL FROM SP_CONTAR_NOVIDADES"), "2");
        EXPECT_EQ(banco.Valor("SELECT DESCRICAO FROM CAD_NOVIDADE WHERE ID = 1"),
                  QString::fromUtf8("Atualização 121"))
            << "a package without a byte-order mark is Windows-1252";
    }
    EXPECT_EQ(Texto(kMestre + "\\orvalisEmpresa.exe"), "orvalisEmpresa.exe 2.8");
    EXPECT_EQ(Texto(Backup() + "\\orvalisEmpresa.exe"), "orvalisEmpresa.exe 2.7");
    EXPECT_EQ(Texto(kMestre + "\\outroFornecedor.exe"), "não é do orvalis");
    EXPECT_TRUE(instalacao.Existe(Backup() + "\\OLD_RIVELOBASE.FDB"));
    {
        BancoTeste copia(instalacao.Nativo(Backup() + "\\OLD_RIVELOBASE.FDB").toStdString());
        EXPECT_EQ(copia.Valor("SELECT SCRIPT_RODADO FROM TAB_PARAMETRO"), "120")
            << "the backup is the database before the packages";
    }
    EXPECT_TRUE(instalacao.Existe(kMestre + "\\orvalisComum.dll"));
    EXPECT_TRUE(instalacao.Existe(kMestre + "\\orvalisPacoteDll.rar"));
    EXPECT_FALSE(instalacao.Existe(kMestre + "\\tmp"));
    for (const char* lock :
         {"orvalisComissao2", "orvalisMonitorEmail", "orvalisMonitorPublicacao"}) {
        EXPECT_FALSE(instalacao.Existe(InstalacaoTemporaria::kPastaDados + "\\RIVELOBASE.FDB" +
                                       lock + ".lock"))
            << lock;
    }
    const QJsonObject mensagem = fornecedor.Mensagens().first();
    EXPECT_EQ(mensagem["assunto"].toString(),
              "orvalis Empresa - Atualização Concluída com Sucesso - Versão 2.8 - " +
                  QString("Padaria São João Ltda"));
    EXPECT_TRUE(mensagem["corpo"].toString().contains(" ATUALIZAÇÃO CONCLUÍDA COM SUCESSO:"));
}

TEST_F(AtualizacaoServidor, AFailingStatementLeavesTheDatabaseAndTheProgramsAsTheyWere) {
    Preparar(kPacote122Falho);
    Executar();

    EXPECT_FALSE(instalacao.Existe(InstalacaoTemporaria::kPastaDados + "\\OLD_RIVELOBASE.FDB"));
    {
        // The stamp gives the file its live name in the letter case the program writes.
        BancoTeste banco(instalacao.Encontrado(kBanco));
        EXPECT_EQ(banco.Valor("SELECT SCRIPT_RODADO FROM TAB_PARAMETRO"), "120");
        EXPECT_EQ(banco.Valor("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = "
                              "'CAD_NOVIDADE'"),
                  "0")
            << "package 121 is undone with the rest";
    }
    EXPECT_EQ(Texto(kMestre + "\\orvalisEmpresa.exe"), "orvalisEmpresa.exe 2.7");
    EXPECT_FALSE(instalacao.Existe(kMestre + "\\tmp"));
    const QJsonObject mensagem = fornecedor.Mensagens().first();
    EXPECT_TRUE(mensagem["assunto"].toString().startsWith(
        "orvalis Empresa - FALHA DA ATUALIZAÇÃO DO SISTEMA - Versão 2.8 - "));
    EXPECT_TRUE(mensagem["corpo"].toString().contains(" FALHA NA ATUALIZAÇÃO DO SISTEMA:"));
}

TEST_F(AtualizacaoServidor, ASignedReleaseTamperedOnTheSiteIsNotInstalled) {
    Preparar(FornecedorLocal::Pacote122());
    fornecedor.Assinar("2.8");
    // The program learns the vendor's key from its INI, as from its build.
    fornecedor.Publicar("orvalisConectado.rar",
                        teste::EscritorRar4::Montar({{"orvalisConectado.exe", "de outra origem"}}));
    Executar();

    EXPECT_FALSE(instalacao.Existe(InstalacaoTemporaria::kRaizServidor + "\\orvalisConectado.exe"));
    EXPECT_EQ(Texto(kMestre + "\\orvalisConectado.exe"), "orvalisConectado.exe 2.7");
    {
        BancoTeste banco(instalacao.Encontrado(kBanco));
        EXPECT_EQ(banco.Valor("SELECT SCRIPT_RODADO FROM TAB_PARAMETRO"), "120");
    }
    EXPECT_EQ(instalacao.Listar(Backup()), QStringList()) << "no phase after the second";
    const QJsonObject mensagem = fornecedor.Mensagens().first();
    EXPECT_TRUE(mensagem["assunto"].toString().startsWith(
        "orvalis Empresa - FALHA DA ATUALIZAÇÃO DO SISTEMA - Versão 2.8 - "));
    const QString corpo = mensagem["corpo"].toString();
    EXPECT_TRUE(corpo.contains("   - Conferindo a assinatura da liberação"));
    EXPECT_TRUE(corpo.contains(
        "   - Erro: O pacote orvalisConectado.rar não confere com o manifesto da liberação"));
}

}  // namespace
}  // namespace orvalis
