#include "app/Erros.h"
#include "app/UnPrincipal.h"
#include "database/ConexaoBanco.h"
#include "net/Endpoints.h"
#include "tests/fixtures/EscritorRar4.h"
#include "tests/support/AtualizacaoPreparada.h"
#include "tests/support/BancoTeste.h"
#include "tests/support/FornecedorLocal.h"
#include "tests/support/ImpressaoQt.h"
#include "tests/support/InstalacaoTemporaria.h"
#include "tests/support/PlataformaFalhas.h"
#include "tests/support/TextosDoLog.h"

#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace orvalis {
namespace {

using teste::BancoTeste;
using teste::FornecedorLocal;
using teste::InstalacaoTemporaria;

const QString kMestre = InstalacaoTemporaria::kPastaMestre;
const QString kDados = InstalacaoTemporaria::kPastaDados;
const QString kBanco = kDados + "\\Rivelobase.fdb";

const char* kPacote121 =
    "CREATE TABLE CAD_NOVIDADE (ID INTEGER NOT NULL PRIMARY KEY, DESCRICAO VARCHAR(60));;\r\n"
    "INSERT INTO CAD_NOVIDADE VALUES (1, 'um');;\r\n";
const char* kPacote122 = "INSERT INTO CAD_NOVIDADE VALUES (2, 'dois');;\r\n";

const QStringList kLinhasFalha = {
    " FALHA NA ATUALIZAÇÃO DO SISTEMA:",
    "   - O seu sistema e banco de dados não foram atualizados.",
    "   - Entre em contato com o suporte técnico da orvalis.",
    "   - A versão anterior, sem alterações, continua disponível para o uso."};
const QStringList kLinhasSucesso = {
    " ATUALIZAÇÃO CONCLUÍDA COM SUCESSO:", "   - O seu banco de dados foi atualizado.",
    "   - A nova versão do sistema está disponível no seu servidor.",
    "   - Obrigado por manter seu sistema sempre atualizado.",
    "   - O sistema já está liberado para o uso."};

// A server installation at script counter 120 prepared as the launch leaves it, the
// vendor's stand-in publishing release 2.8 with packages 121 and 122, and the window
// that runs the update on a platform that can fail a copy on request.
class Atualizacao : public ::testing::Test {
  protected:
    InstalacaoTemporaria instalacao;
    teste::PlataformaTeste& gravador = instalacao.plataforma();
    teste::PlataformaFalhas plataforma{gravador};
    TfrmPrincipal janela{plataforma};
    FornecedorLocal fornecedor;
    Endpoints anteriores = Endpoints::Atuais();

    void SetUp() override {
        ASSERT_TRUE(teste::ServidoresLocais::NomesDeTesteResolvem())
            << "run inside scripts/run-tests, whose hosts file names the test hosts";
        teste::PrepararAtualizacaoServidor(instalacao, janela);
    }
    void TearDown() override { Endpoints::Substituir(anteriores); }

    // The files of release 2.8, packages 121 and `pacote122`, not yet served.
    void PublicarArquivos(const char* pacote122 = kPacote122) {
        fornecedor.PublicarLiberacao(
            "2.8", {{"orvEMP0121.sql", kPacote121}, {"orvEMP0122.sql", pacote122}});
    }
    void Publicar(const char* pacote122 = kPacote122) {
        PublicarArquivos(pacote122);
        Iniciar();
    }
    // The release signed by the stand-in, then `alterar` (a tampering) applied to it.
    void PublicarAssinada(const std::function<void()>& alterar = {}) {
        PublicarArquivos();
        fornecedor.Assinar("2.8");
        if (alterar) alterar();
        Iniciar();
    }
    void Iniciar() {
        fornecedor.Iniciar("2.8.ERP");
        Endpoints::Substituir(fornecedor.Fornecedor());
    }
    // The release files asked of the files host, in order.
    QStringList PedidosDaLiberacao() {
        QStringList nomes;
        for (const QJsonObject& e : fornecedor.web().Eventos("arquivos", "pedido")) {
            const QString caminho = e["linha"].toString().section(' ', 1, 1);
            if (caminho.startsWith("/update/")) nomes << caminho.section('/', -1);
        }
        return nomes;
    }
    // Runs the update as its timer does; tells whether an error (a failed run's silent
    // abort) ended the event.
    bool Executar() {
        bool erro = false;
        janela.executor().ExecutarExecucao([&] {
            try {
                janela.AtualizarSistema();
            } catch (...) {
                erro = true;
                throw;
            }
        });
        return erro;
    }
    QStringList Textos() const { return teste::TextosDoLog(janela); }
    std::optional<BancoTeste> Banco() {
        return std::optional<BancoTeste>(std::in_place, instalacao.Encontrado(kBanco));
    }
    void VerificarLimpeza() {
        EXPECT_FALSE(instalacao.Existe(kMestre + "\\tmp"));
        EXPECT_EQ(instalacao.Ler(kDados + "\\Conectado.txt"), QByteArray("ATUALIZAR\r\n"));
        EXPECT_FALSE(instalacao.Existe(kDados + "\\OLD_RIVELOBASE.FDB"))
            << "the database has its live name back";
    }
    // The old release as it was: the database at counter 120 without the table the
    // packages create, and orvalisEmpresa.exe of 2.7.
    void VerificarLiberacaoAntiga(const char* motivo = "") {
        {
            auto banco = Banco();
            EXPECT_EQ(banco->Valor("SELECT SCRIPT_RODADO FROM TAB_PARAMETRO"), "120");
            EXPECT_EQ(banco->Valor("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = "
                                   "'CAD_NOVIDADE'"),
                      "0")
                << motivo;
        }
        EXPECT_EQ(instalacao.Ler(kMestre + "\\orvalisEmpresa.exe"), "orvalisEmpresa.exe 2.7");
    }
    int Contar(const QString& texto) const { return static_cast<int>(Textos().count(texto)); }

    // The server cuts the program's attachment, as a lost network connection or an
    // administrator's "delete from mon$attachments" does: every later call on it fails,
    // and closing it raises.
    void DerrubarConexaoDoPrograma() {
        BancoTeste administrador(instalacao.Encontrado(kDados + "\\OLD_RIVELOBASE.FDB"));
        administrador.Executar(
            "DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION");
    }
};

TEST_F(Atualizacao, WithoutTheVendorsFtpSiteStopsAtTheFirstCheck) {
    janela.itVersaoSite = "SEM";
    instalacao.CriarPasta(kMestre + "\\tmp");
    instalacao.Escrever(kMestre + "\\tmp\\resto.rar", "x");
    EXPECT_FALSE(Executar());
    EXPECT_EQ(Textos(), QStringList({" FASE 1 de 7 - VERIFICAÇÕES INICIAIS",
                                     "   - Testando conexão com o site da orvalis",
                                     "   - Erro: Falha na conexão com o site"}) +
                            kLinhasFalha);
    EXPECT_FALSE(janela.btRefresh->isHidden());
    EXPECT_FALSE(janela.btAbortar->isHidden());
    EXPECT_EQ(janela.Label1->text(), "Aguarde… Atualizando o sistema");
    EXPECT_TRUE(janela.AssuntoEmail.isEmpty()) << "no report";
    VerificarLimpeza();
}

TEST_F(Atualizacao, AnyOtherReleaseTextGoesOnToTheDatabaseCheck) {
    for (const QString& versao : {QString("sem"), QString()}) {
        SCOPED_TRACE(versao.toStdString());
        janela.itVersaoSite = versao;
        // The database is held by another user: phase 1 stops at its rename.
        BancoTeste outro(instalacao.Nativo(kBanco).toStdString());
        EXPECT_TRUE(Executar()) << "the silent abort ends the event";
        EXPECT_EQ(Textos().mid(0, 3),
                  QStringList({" FASE 1 de 7 - VERIFICAÇÕES INICIAIS",
                               "   - Testando conexão com o site da orvalis", "   - OK"}));
        EXPECT_EQ(Contar(" FASE 2 de 7 - DOWNLOAD DOS APLICATIVOS:"), 0);
    }
}

TEST_F(Atualizacao, PhaseOneStoppedBeforeTakingTheDatabaseHasNoOutcome) {
    Publicar();
    BancoTeste outro(instalacao.Nativo(kBanco).toStdString());
    EXPECT_TRUE(Executar()) << "the silent abort ends the event";
    EXPECT_FALSE(janela.itDesconectouBanco);
    EXPECT_EQ(Contar(" FASE 7 DE 7 - ENVIO DE E-MAIL INFORMATIVO:"), 0);
    EXPECT_EQ(Contar(" FALHA NA ATUALIZAÇÃO DO SISTEMA:"), 0);
    EXPECT_EQ(janela.Label1->text(), "Aguarde… Atualizando o sistema");
    EXPECT_TRUE(fornecedor.Mensagens().isEmpty());
    EXPECT_FALSE(janela.btRefresh->isHidden());
    EXPECT_FALSE(janela.btAbortar->isHidden());
    EXPECT_EQ(instalacao.Ler(kDados + "\\Conectado.txt"), QByteArray("ATUALIZAR\r\n"));
}

TEST_F(Atualizacao, UpdatesEverythingAndReportsSuccess) {
    Publicar();
    EXPECT_FALSE(Executar());
    {
        auto banco = Banco();
        EXPECT_EQ(banco->Valor("SELECT SCRIPT_RODADO FROM TAB_PARAMETRO"), "122");
        EXPECT_EQ(banco->Valor("SELECT VERSAO_ERP FROM TAB_PARAMETRO"), "2.8");
    }
    EXPECT_EQ(instalacao.Ler(kMestre + "\\orvalisEmpresa.exe"), "orvalisEmpresa.exe 2.8");
    EXPECT_EQ(instalacao.Ler(janela.PastaBackupExecucao() + "\\orvalisEmpresa.exe"),
              "orvalisEmpresa.exe 2.7");
    EXPECT_EQ(janela.Label1->text(), "Sistema Atualizado");
    EXPECT_FALSE(janela.btOk->isHidden());
    EXPECT_TRUE(janela.btRefresh->isHidden());
    EXPECT_EQ(Textos().mid(Textos().size() - 5), kLinhasSucesso);
    EXPECT_EQ(janela.AssuntoEmail,
              "orvalis Empresa - Atualização Concluída com Sucesso - Versão 2.8 - Padaria São "
              "João Ltda");
    ASSERT_EQ(fornecedor.Mensagens().size(), 1);
    EXPECT_FALSE(janela.itErroAtualizacao);
    VerificarLimpeza();
}

TEST_F(Atualizacao, ASignedReleaseIsCheckedAndInstalled) {
    PublicarAssinada();
    ASSERT_FALSE(Endpoints::Atuais().chavePublica.isEmpty());
    EXPECT_FALSE(Executar());
    {
        auto banco = Banco();
        EXPECT_EQ(banco->Valor("SELECT SCRIPT_RODADO FROM TAB_PARAMETRO"), "122");
        EXPECT_EQ(banco->Valor("SELECT VERSAO_ERP FROM TAB_PARAMETRO"), "2.8");
    }
    EXPECT_EQ(instalacao.Ler(kMestre + "\\orvalisEmpresa.exe"), "orvalisEmpresa.exe 2.8");
    EXPECT_EQ(janela.Label1->text(), "Sistema Atualizado");
    const QStringList pedidos = PedidosDaLiberacao();
    ASSERT_GE(pedidos.size(), 3);
    EXPECT_EQ(pedidos.mid(0, 2), QStringList({"orvalisLiberacao.ini", "orvalisLiberacao.sig"}));
    EXPECT_EQ(pedidos.last(), "sql.rar");
    EXPECT_EQ(Contar("   - Conferindo a assinatura da liberação"), 1);
    EXPECT_TRUE(Textos().filter("Erro").isEmpty());
    VerificarLimpeza();
}

TEST_F(Atualizacao, WithoutAKeyTheSignedReleaseIsNotAskedFor) {
    PublicarAssinada();
    Endpoints semChave = fornecedor.Fornecedor();
    semChave.chavePublica.clear();
    Endpoints::Substituir(semChave);
    EXPECT_FALSE(Executar());
    EXPECT_EQ(janela.Label1->text(), "Sistema Atualizado");
    EXPECT_FALSE(PedidosDaLiberacao().join(' ').contains("orvalisLiberacao"));
    EXPECT_EQ(Contar("   - Conferindo a assinatura da liberação"), 0);
}

TEST_F(Atualizacao, ATamperedSqlArchiveIsRefusedBeforeAnyBackup) {
    PublicarAssinada([&] {
        fornecedor.Publicar("sql.rar", teste::EscritorRar4::Montar(
                                           {{"orvEMP0121.sql", "DROP TABLE TAB_PARAMETRO;;\r\n"}}));
    });
    EXPECT_TRUE(Executar()) << "the silent abort ends the event";
    EXPECT_EQ(Contar("   - Erro: O pacote sql.rar não confere com o manifesto da liberação"), 1);
    EXPECT_EQ(Contar("   - Erro: Falha no download do sql.rar"), 1);
    EXPECT_EQ(Contar("   - Fase 2 concluida com sucesso."), 0);
    EXPECT_EQ(Contar(" FASE 3 de 7 - BACKUP LOCAL DOS APLICATIVOS:"), 0);
    EXPECT_EQ(instalacao.Listar(janela.PastaBackupExecucao()), QStringList());
    {
        auto banco = Banco();
        EXPECT_EQ(banco->Valor("SELECT SCRIPT_RODADO FROM TAB_PARAMETRO"), "120");
    }
    EXPECT_EQ(janela.Label1->text(), "Falha na atualização do Sistema");
    VerificarLimpeza();
}

TEST_F(Atualizacao, AReleaseSignedForAnotherVersionIsNotInstalled) {
    PublicarArquivos();
    fornecedor.Assinar("2.7");
    Iniciar();
    EXPECT_TRUE(Executar()) << "the silent abort ends the event";
    EXPECT_EQ(Contar("   - Erro: Manifesto da liberação é da versão 2.7 e não da 2.8"), 1);
    EXPECT_EQ(PedidosDaLiberacao(), QStringList({"orvalisLiberacao.ini", "orvalisLiberacao.sig"}));
    EXPECT_EQ(instalacao.Ler(kMestre + "\\orvalisEmpresa.exe"), "orvalisEmpresa.exe 2.7");
    EXPECT_EQ(janela.Label1->text(), "Falha na atualização do Sistema");
    VerificarLimpeza();
}

TEST_F(Atualizacao, ADatabaseTooOldIsNotTouchedAndTheRunFails) {
    Publicar();
    {
        BancoTeste banco(instalacao.Nativo(kBanco).toStdString());
        banco.Executar("UPDATE TAB_PARAMETRO SET SCRIPT_RODADO = 60");
    }
    EXPECT_FALSE(Executar()) << "a failure the run reports itself";
    EXPECT_TRUE(janela.itVersaoAntiga);
    EXPECT_EQ(Contar(" FASE 2 de 7 - DOWNLOAD DOS APLICATIVOS:"), 0);
    EXPECT_TRUE(fornecedor.web().Eventos("arquivos", "pedido").size() <= 2) << "no download";
    EXPECT_EQ(janela.Label1->text(), "Falha na atualização do Sistema");
    EXPECT_TRUE(janela.itErroAtualizacao);
    EXPECT_EQ(Textos().mid(Textos().size() - 4), kLinhasFalha);
    VerificarLimpeza();
}

TEST_F(Atualizacao, AFailedSqlArchiveDownloadStopsBeforeTheBackups) {
    Publicar();
    fornecedor.web().DefinirFalhasWeb(
        QJsonObject{{"caminhos", QJsonObject{{"/update/Atualizacao/orvalis Empresa/sql.rar",
                                              QJsonObject{{"modo", "404"}}}}}});
    EXPECT_TRUE(Executar()) << "the silent abort ends the event";
    EXPECT_EQ(Contar("   - Erro: Falha no download do sql.rar"), 1);
    EXPECT_EQ(Contar("   - Fase 2 concluida com sucesso."), 0);
    EXPECT_EQ(Contar(" FASE 3 de 7 - BACKUP LOCAL DOS APLICATIVOS:"), 0);
    EXPECT_EQ(janela.Label1->text(), "Falha na atualização do Sistema");
    EXPECT_EQ(instalacao.Listar(janela.PastaBackupExecucao()), QStringList());
    VerificarLimpeza();
}

TEST_F(Atualizacao, AFailedStatementRestoresTheDatabaseAndSkipsTheExecutables) {
    Publicar("INSERT INTO TABELA_QUE_NAO_EXISTE VALUES (1);;\r\n");
    EXPECT_FALSE(Executar()) << "a failure the run reports itself";
    VerificarLiberacaoAntiga();
    EXPECT_EQ(Contar("    - Restaurando Banco de Dados."), 1);
    EXPECT_EQ(Contar(" FASE 6 de 7 - ATUALIZAÇÃO DOS APLICATIVOS:"), 0);
    EXPECT_EQ(janela.Label1->text(), "Falha na atualização do Sistema");
    VerificarLimpeza();
}

TEST_F(Atualizacao, AFailedInstallPutsBackTheExecutablesAndTheDatabase) {
    Publicar();
    plataforma.aoCopiar = [](const QString& origem, const QString& destino) -> uint32_t {
        return teste::InstalaONovoEmpresa(origem, destino) ? winerror::kSharingViolation : 0;
    };
    EXPECT_TRUE(Executar()) << "the silent abort ends the event";
    EXPECT_TRUE(janela.itRestaurarBackupPrograma);
    EXPECT_FALSE(janela.itbancoAtualizado);
    VerificarLiberacaoAntiga("the packages are undone with the failed install");
    EXPECT_EQ(Contar("    - Restaurando Banco de Dados."), 1);
    EXPECT_EQ(janela.Label1->text(), "Falha na atualização do Sistema");
    VerificarLimpeza();
}

TEST_F(Atualizacao, AFailedStampUndoesTheRunInsteadOfReportingSuccess) {
    // The last package leaves the stamp no column to write.
    Publicar("ALTER TABLE TAB_PARAMETRO DROP SCRIPT_RODADO;;\r\n");
    EXPECT_TRUE(Executar()) << "the silent abort ends the event";
    {
        auto banco = Banco();
        EXPECT_EQ(banco->Valor("SELECT SCRIPT_RODADO FROM TAB_PARAMETRO"), "120");
        EXPECT_EQ(banco->Valor("SELECT VERSAO_ERP FROM TAB_PARAMETRO"), "2.7");
    }
    EXPECT_EQ(instalacao.Ler(kMestre + "\\orvalisEmpresa.exe"), "orvalisEmpresa.exe 2.7");
    EXPECT_EQ(janela.Label1->text(), "Falha na atualização do Sistema");
    EXPECT_TRUE(janela.itErroAtualizacao);
    ASSERT_EQ(fornecedor.Mensagens().size(), 1);
    EXPECT_TRUE(fornecedor.Mensagens()[0]["assunto"].toString().contains("FALHA"));
    VerificarLimpeza();
}

TEST_F(Atualizacao, ARetryDoesNotTakeAnEarlierRunsPackagesAsItsOwn) {
    Publicar();
    // As an earlier run of this program start left it; this run's backup then fails.
    janela.itbancoAtualizado = true;
    instalacao.Apagar(janela.PastaBackupExecucao());
    EXPECT_TRUE(Executar()) << "the silent abort ends the event";
    EXPECT_EQ(Contar("   - Erro: Falha no backup do banco de dados."), 0)
        << "phase 3 already fails on the missing folder";
    EXPECT_EQ(janela.Label1->text(), "Falha na atualização do Sistema");
    EXPECT_TRUE(janela.itErroAtualizacao);
    VerificarLimpeza();
}

TEST_F(Atualizacao, AnErrorInPhaseThreeWithTheConnectionOpenGivesTheLiveNameBack) {
    Publicar();
    instalacao.Apagar(janela.PastaBackupExecucao());
    EXPECT_TRUE(Executar()) << "the silent abort ends the event";
    EXPECT_TRUE(instalacao.Existe(kDados + "\\RIVELOBASE.FDB") ||
                instalacao.Existe(kDados + "\\Rivelobase.fdb"));
    EXPECT_FALSE(janela.IBDatabase1->Conectado());
    VerificarLimpeza();
}

TEST_F(Atualizacao, SuccessWithTheMailHostUnreachableStillShowsTheSuccess) {
    Publicar();
    Endpoints semCorreio = fornecedor.Fornecedor();
    semCorreio.smtpPorta = 1;
    Endpoints::Substituir(semCorreio);
    EXPECT_FALSE(Executar());
    const QStringList textos = Textos();
    const qsizetype cabecalho = textos.indexOf(" FASE 7 DE 7 - ENVIO DE E-MAIL INFORMATIVO:");
    ASSERT_GE(cabecalho, 0);
    EXPECT_EQ(textos.mid(textos.size() - 5), kLinhasSucesso);
    EXPECT_EQ(textos.filter("   - OK").size(), textos.mid(0, cabecalho).filter("   - OK").size())
        << "no OK for the report";
    EXPECT_EQ(janela.Label1->text(), "Sistema Atualizado");
    EXPECT_FALSE(janela.btOk->isHidden());
    EXPECT_TRUE(janela.AssuntoEmail.startsWith(
        "orvalis Empresa - Atualização Concluída com Sucesso - Versão 2.8"));
    VerificarLimpeza();
}

TEST_F(Atualizacao, TheSubjectEndsWithTheSeparatorForAnEmptyCompany) {
    Publicar();
    {
        BancoTeste banco(instalacao.Nativo(kBanco).toStdString());
        banco.Executar("UPDATE TAB_PARAMETRO SET NM_EMPRESA = NULL");
    }
    EXPECT_FALSE(Executar());
    EXPECT_EQ(janela.AssuntoEmail,
              "orvalis Empresa - Atualização Concluída com Sucesso - Versão 2.8 - ");
}

TEST_F(Atualizacao, ASecondClickOfRetryDuringARetryStartsNoSecondRun) {
    janela.itVersaoSite = "SEM";
    EXPECT_FALSE(Executar());
    ASSERT_FALSE(janela.btRefresh->isHidden());
    gravador.esperas.clear();
    int cliques = 0;
    gravador.aoProcessarMensagens = [&] {
        if (cliques++ == 0) QTest::mouseClick(janela.btRefresh, Qt::LeftButton);
    };
    QTest::mouseClick(janela.btRefresh, Qt::LeftButton);
    gravador.aoProcessarMensagens = nullptr;
    EXPECT_EQ(Contar(" FASE 1 de 7 - VERIFICAÇÕES INICIAIS"), 1);
    EXPECT_EQ(gravador.esperas, (std::vector<uint32_t>{2000, 2000}))
        << "the retry's wait and one run's wait";
    EXPECT_FALSE(janela.btRefresh->isHidden()) << "the retry stopped where the first run did";
}

TEST_F(Atualizacao, LongWorkShowsItsProgressUnderTheLogAndNowhereElse) {
    Publicar();
    QStringList vistos;
    const auto observar = [&] {
        if (janela.lbAndamento->isHidden()) return;
        const QString texto = janela.lbAndamento->text().section(':', 0, 0);
        if (vistos.isEmpty() || vistos.last() != texto) vistos << texto;
        EXPECT_FALSE(janela.pbAndamento->isHidden());
    };
    gravador.aoProcessarMensagens = observar;
    plataforma.aoCopiar = [&](const QString&, const QString&) -> uint32_t {
        observar();
        return 0;
    };
    EXPECT_FALSE(Executar());
    for (const char* trabalho :
         {"Baixando WinRAR.exe", "Baixando orvalisEmpresa.rar", "Descompactando orvalisEmpresa.rar",
          "Baixando sql.rar", "Descompactando sql.rar",
          "Copiando o banco de dados para o backup"}) {
        EXPECT_TRUE(vistos.contains(trabalho))
            << trabalho << " in " << vistos.join(" | ").toStdString();
    }
    EXPECT_TRUE(janela.pbAndamento->isHidden()) << "hidden once no such work runs";
    EXPECT_TRUE(janela.lbAndamento->isHidden());
    const QString log = janela.LinhasLog().join('\n');
    ASSERT_EQ(fornecedor.Mensagens().size(), 1);
    const QString relatorio = fornecedor.Mensagens()[0]["corpo"].toString();
    for (const QString& texto :
         {QString("Baixando"), QString("Descompactando"), QString("Copiando o banco")}) {
        EXPECT_FALSE(log.contains(texto)) << texto.toStdString();
        EXPECT_FALSE(relatorio.contains(texto)) << texto.toStdString();
    }
}

TEST_F(Atualizacao, AHiddenRetryButtonStartsNothing) {
    Publicar();
    EXPECT_FALSE(Executar());
    ASSERT_TRUE(janela.btRefresh->isHidden()) << "a successful run hides it";
    const QStringList log = janela.LinhasLog();
    const size_t esperas = gravador.esperas.size();
    // A click that reaches it anyway, and Enter or Space on it where it had the focus.
    janela.btRefresh->click();
    QTest::keyClick(janela.btRefresh, Qt::Key_Return);
    QTest::keyClick(janela.btRefresh, Qt::Key_Space);
    EXPECT_EQ(janela.LinhasLog(), log);
    EXPECT_EQ(gravador.esperas.size(), esperas) << "not even the retry's wait";
}

TEST_F(Atualizacao, AnEmptyMasterFolderDeletesNothingOutsideIt) {
    janela.itVersaoSite = "SEM";
    janela.itDiretorioPastaMestre.clear();
    instalacao.CriarPasta("C:\\tmp");
    instalacao.Escrever("C:\\tmp\\do cliente.txt", "não apagar");
    const QString anterior = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(instalacao.Nativo(kMestre)));
    EXPECT_FALSE(Executar());
    QDir::setCurrent(anterior);
    EXPECT_EQ(instalacao.Ler("C:\\tmp\\do cliente.txt"), "não apagar");
}

// Every way to a restore of the database, each with a connection that can no longer be
// closed cleanly: the restore still puts the backup back under the live name.
enum class Perda {
    kCommitRecusado,      // a statement's commit refused by the database itself
    kErroForaDoExecutor,  // an error escapes the package runner
    kInstalacaoFalha,     // phase 6 cannot install an executable
    kCarimboFalha,        // the version stamp finds the connection gone
};

struct CasoRestauracao {
    const char* nome;
    Perda perda;
    friend void PrintTo(const CasoRestauracao& caso, std::ostream* saida) { *saida << caso.nome; }
};

// Package 122's commit is refused by the database itself: a commit trigger raises
// while a row of FALHAR exists. Committing the same work again at the disconnect
// would be refused too.
const char* kPacoteCommitRecusado =
    "CREATE TABLE FALHAR (X INTEGER);;\r\n"
    "CREATE EXCEPTION COMMIT_RECUSADO 'commit recusado';;\r\n"
    "CREATE TRIGGER RECUSAR_COMMIT ON TRANSACTION COMMIT AS\r\n"
    "BEGIN\r\n"
    "  IF (EXISTS(SELECT 1 FROM FALHAR)) THEN EXCEPTION COMMIT_RECUSADO;\r\n"
    "END;;\r\n"
    "INSERT INTO FALHAR VALUES (1);;\r\n";

class RestauracaoSemConexao : public Atualizacao,
                              public ::testing::WithParamInterface<CasoRestauracao> {
  protected:
    void Preparar(Perda perda) {
        switch (perda) {
            case Perda::kCommitRecusado:
                Publicar(kPacoteCommitRecusado);
                return;
            case Perda::kErroForaDoExecutor:
                Publicar();
                // After package 121, while the runner looks for the next package.
                plataforma.aoTestarArquivo = [this](const QString& caminho) {
                    if (!caminho.endsWith("orvEMP0122.sql")) return;
                    plataforma.aoTestarArquivo = nullptr;
                    DerrubarConexaoDoPrograma();
                    throw ErroOrvalis("falha fora do executor de pacotes");
                };
                return;
            case Perda::kInstalacaoFalha:
                Publicar();
                plataforma.aoCopiar = [this](const QString& origem,
                                             const QString& destino) -> uint32_t {
                    if (!teste::InstalaONovoEmpresa(origem, destino)) return 0;
                    DerrubarConexaoDoPrograma();
                    return winerror::kSharingViolation;
                };
                return;
            case Perda::kCarimboFalha:
                Publicar();
                // The install succeeds; the stamp then finds no connection.
                plataforma.aoCopiar = [this](const QString& origem,
                                             const QString& destino) -> uint32_t {
                    if (teste::InstalaONovoEmpresa(origem, destino)) DerrubarConexaoDoPrograma();
                    return 0;
                };
                return;
        }
    }
};

TEST_P(RestauracaoSemConexao, PutsTheBackupBackUnderTheLiveName) {
    Preparar(GetParam().perda);
    Executar();
    VerificarLiberacaoAntiga("the packages are undone");
    const QStringList textos = Textos();
    const qsizetype restauracao = textos.indexOf("    - Restaurando Banco de Dados.");
    ASSERT_GE(restauracao, 0);
    EXPECT_EQ(textos.mid(restauracao + 2, 1), QStringList{"   - OK"});
    EXPECT_EQ(Contar(" Não foi possível Restaurar o Backup do Banco de dados."), 0);
    EXPECT_EQ(janela.Label1->text(), "Falha na atualização do Sistema");
    EXPECT_EQ(textos.mid(textos.size() - 4), kLinhasFalha);
    EXPECT_EQ(fornecedor.Mensagens().size(), 1);
    VerificarLimpeza();
}

INSTANTIATE_TEST_SUITE_P(
    Caminhos, RestauracaoSemConexao,
    ::testing::Values(CasoRestauracao{"ACommitRefusedByTheDatabase", Perda::kCommitRecusado},
                      CasoRestauracao{"AnErrorThatEscapesTheRunner", Perda::kErroForaDoExecutor},
                      CasoRestauracao{"AFailedInstall", Perda::kInstalacaoFalha},
                      CasoRestauracao{"AFailedStamp", Perda::kCarimboFalha}),
    [](const ::testing::TestParamInfo<CasoRestauracao>& info) { return info.param.nome; });

TEST_F(Atualizacao, AFailedDisconnectAtTheEndStillReportsTheOutcomeThenShowsTheError) {
    Publicar();
    // The stamp is committed; then the server loses the attachment before phase 7
    // closes it.
    bool derrubada = false;
    plataforma.aoMover = [&](const QString& origem, const QString&) -> uint32_t {
        if (!derrubada && janela.IBDatabase1->Conectado() &&
            origem.endsWith("OLD_RIVELOBASE.FDB") && janela.itbancoAtualizado) {
            derrubada = true;
            DerrubarConexaoDoPrograma();
        }
        return 0;
    };
    int mensagensAntesDoFim = -1;
    gravador.aoMostrarMensagem = [&](const teste::PlataformaTeste::Mensagem&) {
        if (mensagensAntesDoFim < 0) mensagensAntesDoFim = static_cast<int>(Textos().size());
    };
    EXPECT_TRUE(Executar()) << "the disconnect's error ends the event";
    ASSERT_TRUE(derrubada);
    EXPECT_EQ(Textos().mid(Textos().size() - 5), kLinhasSucesso);
    EXPECT_EQ(janela.Label1->text(), "Sistema Atualizado");
    EXPECT_FALSE(janela.btOk->isHidden());
    ASSERT_EQ(fornecedor.Mensagens().size(), 1) << "the report goes out";
    ASSERT_EQ(gravador.mensagens.size(), 1u) << "then the error box";
    EXPECT_EQ(gravador.mensagens[0].icone, MessageIcon::Error);
    EXPECT_EQ(mensagensAntesDoFim, Textos().size()) << "the box comes after the closing lines";
    // The engine may still hold the file it lost the attachment of, so the rename back
    // may or may not have happened: when it has not, the journal stays for the recovery.
    EXPECT_EQ(instalacao.Existe(kDados + "\\OLD_RIVELOBASE.FDB"),
              instalacao.Existe(kMestre + "\\AtualizacaoEmAndamento.ini"));
    EXPECT_EQ(instalacao.Ler(kDados + "\\Conectado.txt"), QByteArray("ATUALIZAR\r\n"));
}

}  // namespace
}  // namespace orvalis
