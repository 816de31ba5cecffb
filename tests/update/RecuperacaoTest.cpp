// The journal of a server update and the recovery of a run that was cut off: every state
// a run can leave behind, undone from the journal alone.
#include "app/UnPrincipal.h"
#include "net/Endpoints.h"
#include "tests/support/AtualizacaoPreparada.h"
#include "tests/support/BancoTeste.h"
#include "tests/support/FornecedorLocal.h"
#include "tests/support/ImpressaoQt.h"
#include "tests/support/InstalacaoTemporaria.h"
#include "tests/support/PlataformaFalhas.h"
#include "tests/support/TextosDoLog.h"
#include "update/DiarioAtualizacao.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <vector>

namespace orvalis {
namespace {

using Etapa = DiarioAtualizacao::Etapa;
using teste::BancoTeste;
using teste::FornecedorLocal;
using teste::InstalacaoTemporaria;

const QString kMestre = InstalacaoTemporaria::kPastaMestre;
const QString kDados = InstalacaoTemporaria::kPastaDados;
const QString kVivo = kDados + "\\Rivelobase.fdb";
const QString kRetido = kDados + "\\OLD_RIVELOBASE.FDB";
const QString kBackup = InstalacaoTemporaria::kPastaBackup + "\\2.7.20261210143005";
const QString kBackupBanco = kBackup + "\\OLD_RIVELOBASE.FDB";
const QString kJournal = kMestre + "\\AtualizacaoEmAndamento.ini";
const QString kCabecalho = " RECUPERAÇÃO DA ATUALIZAÇÃO INTERROMPIDA:";
const QString kInicio = "   - Atualização iniciada em 10/12/2026 14:30:05";

// An installation as an interrupted run of release 2.8 left it: the backup of the
// database at counter 120 and of orvalisEmpresa.exe 2.7 in the run's backup folder, the
// new orvalisEmpresa.exe 2.8 installed, and the journal's content ready to be written
// with the boundary of each case. Where the database itself is, each case says.
class Recuperacao : public ::testing::Test {
  public:
    InstalacaoTemporaria instalacao;
    teste::PlataformaTeste& gravador = instalacao.plataforma();
    teste::PlataformaFalhas plataforma{gravador};
    TfrmPrincipal janela{plataforma};
    DiarioAtualizacao diario;

    void SetUp() override {
        instalacao.CriarPasta(kBackup);
        BancoTeste::Criar(instalacao.Nativo(kBackupBanco).toStdString(),
                          BancoTeste::Variante::kCompleta);
        instalacao.Escrever(kBackup + "\\orvalisEmpresa.exe", "orvalisEmpresa.exe 2.7");
        instalacao.Escrever(kMestre + "\\orvalisEmpresa.exe", "orvalisEmpresa.exe 2.8");
        diario.inicio = QDateTime(QDate(2026, 12, 10), QTime(14, 30, 5));
        diario.bancoVivo = kVivo;
        diario.bancoRetido = kRetido;
        diario.pastaBackup = kBackup;
        diario.tamanhoBackup = static_cast<int64_t>(instalacao.Ler(kBackupBanco).size());
        diario.pastaMestre = kMestre;
        diario.executaveis = QStringList{"orvalisEmpresa.exe"};
    }

    void GravarDiario(Etapa etapa) {
        diario.etapa = etapa;
        ASSERT_TRUE(diario.Gravar(plataforma));
    }
    // The database at `contador` under `caminho`: 120 is the backup's, 121 one that
    // phase 5 has begun to change, 122 the stamped new release.
    void Banco(const QString& caminho, int contador) {
        BancoTeste::Criar(instalacao.Nativo(caminho).toStdString(),
                          BancoTeste::Variante::kCompleta);
        if (contador == 120) return;
        BancoTeste banco(instalacao.Nativo(caminho).toStdString());
        banco.Executar(QString("UPDATE TAB_PARAMETRO SET SCRIPT_RODADO = %1").arg(contador));
    }
    // The live file as the run's own restore writes it: a copy of the backup.
    void RestauradoPelaExecucao() { ASSERT_TRUE(plataforma.CopyFile(kBackupBanco, kVivo)); }

    QString Contador(const QString& caminho) {
        BancoTeste banco(instalacao.Encontrado(caminho));
        return banco.Valor("SELECT SCRIPT_RODADO FROM TAB_PARAMETRO");
    }
    bool Existe(const QString& caminho) { return plataforma.FileExists(caminho); }
    QString Executavel() { return instalacao.Ler(kMestre + "\\orvalisEmpresa.exe"); }
    QStringList Textos() const { return teste::TextosDoLog(janela); }
};

struct CasoRecuperacao {
    const char* nome;
    Etapa etapa;
    // The database files the interrupted run left.
    std::function<void(Recuperacao&)> preparar;
    bool recupera;
    // The log lines after the header and the run's start line.
    QStringList linhas;
    // The live database's counter afterwards ("" when it must not exist), whether the
    // held file is left, and the executable's version.
    QString contadorVivo;
    bool retidoFica;
    QString executavel;

    friend void PrintTo(const CasoRecuperacao& caso, std::ostream* saida) { *saida << caso.nome; }
};

class RecuperacaoDeEstado : public Recuperacao,
                            public ::testing::WithParamInterface<CasoRecuperacao> {};

TEST_P(RecuperacaoDeEstado, LeavesAllOfOneReleaseUnderTheLiveName) {
    const CasoRecuperacao& caso = GetParam();
    GetParam().preparar(*this);
    GravarDiario(caso.etapa);
    const QByteArray backup = Existe(kBackupBanco) ? instalacao.Ler(kBackupBanco) : QByteArray();

    EXPECT_EQ(janela.RecuperarAtualizacaoInterrompida(), caso.recupera);

    EXPECT_EQ(Textos(), QStringList({kCabecalho, kInicio}) + caso.linhas);
    if (caso.contadorVivo.isEmpty()) {
        EXPECT_FALSE(Existe(kVivo));
    } else {
        EXPECT_EQ(Contador(kVivo), caso.contadorVivo);
    }
    EXPECT_EQ(Existe(kRetido), caso.retidoFica);
    EXPECT_EQ(Executavel(), "orvalisEmpresa.exe " + caso.executavel);
    EXPECT_EQ(Existe(kJournal), !caso.recupera) << "the journal stays only for another try";
    if (Existe(kBackupBanco)) {
        EXPECT_EQ(instalacao.Ler(kBackupBanco), backup) << "the backup is never changed";
    }
}

const QString kRenomeia = "   - Renomeando " + kRetido + " para " + kDados + "\\RIVELOBASE.FDB";
const QString kRestauraBanco = "   - Restaurando Banco de Dados de " + kBackupBanco;
const QString kRestauraExecutavel = "   - Restaurando orvalisEmpresa.exe";

INSTANTIATE_TEST_SUITE_P(
    Estados, RecuperacaoDeEstado,
    ::testing::Values(
        // Before phase 5 the database is untouched and only needs its live name.
        CasoRecuperacao{"HeldBeforeTheBackup",
                        Etapa::kRetencao,
                        [](Recuperacao& t) { t.Banco(kRetido, 120); },
                        true,
                        {kRenomeia, "   - OK"},
                        "120",
                        false,
                        "2.8"},
        CasoRecuperacao{"HeldAfterTheBackup",
                        Etapa::kBackupBanco,
                        [](Recuperacao& t) { t.Banco(kRetido, 120); },
                        true,
                        {kRenomeia, "   - OK"},
                        "120",
                        false,
                        "2.8"},
        CasoRecuperacao{"NeverHeld",
                        Etapa::kRetencao,
                        [](Recuperacao& t) { t.Banco(kVivo, 120); },
                        true,
                        {"   - OK"},
                        "120",
                        false,
                        "2.8"},
        CasoRecuperacao{"NeverHeldBesideSomebodysLeftover",
                        Etapa::kRetencao,
                        [](Recuperacao& t) {
                            t.Banco(kVivo, 120);
                            t.Banco(kRetido, 90);
                        },
                        true,
                        {"   - OK"},
                        "120",
                        true,
                        "2.8"},
        // Phase 5 or 6 had begun: the backup comes back, from phase 6 the executables.
        CasoRecuperacao{"InThePackages",
                        Etapa::kFase5,
                        [](Recuperacao& t) { t.Banco(kRetido, 121); },
                        true,
                        {kRestauraBanco, "   - OK"},
                        "120",
                        false,
                        "2.8"},
        CasoRecuperacao{"InTheInstall",
                        Etapa::kFase6,
                        [](Recuperacao& t) { t.Banco(kRetido, 121); },
                        true,
                        {kRestauraExecutavel, kRestauraBanco, "   - OK"},
                        "120",
                        false,
                        "2.7"},
        CasoRecuperacao{"AfterTheRestoreCopyBeforeTheHeldFileWent",
                        Etapa::kFase6,
                        [](Recuperacao& t) {
                            t.Banco(kRetido, 121);
                            t.RestauradoPelaExecucao();
                        },
                        true,
                        {kRestauraExecutavel, "   - OK"},
                        "120",
                        false,
                        "2.7"},
        CasoRecuperacao{"AfterTheRunsOwnRestore",
                        Etapa::kFase6,
                        [](Recuperacao& t) { t.RestauradoPelaExecucao(); },
                        true,
                        {kRestauraExecutavel, "   - OK"},
                        "120",
                        false,
                        "2.7"},
        CasoRecuperacao{"ARestoredDatabaseUsedSince",
                        Etapa::kFase6,
                        [](Recuperacao& t) { t.Banco(kVivo, 120); },
                        true,
                        {"   - OK"},
                        "120",
                        false,
                        "2.8"},
        CasoRecuperacao{"BothFilesGone",
                        Etapa::kFase5,
                        [](Recuperacao&) {},
                        true,
                        {kRestauraBanco, "   - OK"},
                        "120",
                        false,
                        "2.8"},
        // The run's own undo had copied the backup back and said so: only the held file
        // and the executables are left, whatever the live database has been through.
        CasoRecuperacao{"MarkedRestoredUsedSince",
                        Etapa::kBancoRestaurado,
                        [](Recuperacao& t) {
                            t.Banco(kVivo, 120);
                            t.Banco(kRetido, 121);
                            t.diario.fase6Iniciada = true;
                        },
                        true,
                        {kRestauraExecutavel, "   - OK"},
                        "120",
                        false,
                        "2.7"},
        CasoRecuperacao{"MarkedRestoredBeforePhase6",
                        Etapa::kBancoRestaurado,
                        [](Recuperacao& t) { t.RestauradoPelaExecucao(); },
                        true,
                        {"   - OK"},
                        "120",
                        false,
                        "2.8"},
        // The stamp was committed: the new release stays.
        CasoRecuperacao{"AfterTheStamp",
                        Etapa::kVersaoGravada,
                        [](Recuperacao& t) { t.Banco(kRetido, 122); },
                        true,
                        {kRenomeia, "   - OK"},
                        "122",
                        false,
                        "2.8"},
        // What the recovery cannot do: it says what is missing, changes nothing more.
        CasoRecuperacao{"TheBackupIsMissing",
                        Etapa::kFase5,
                        [](Recuperacao& t) {
                            t.Banco(kRetido, 121);
                            t.instalacao.Apagar(kBackupBanco);
                            t.instalacao.Escrever(kBackup + "\\x", "");  // keep the folder
                        },
                        false,
                        {"   - Erro: Backup do banco de dados não encontrado: " + kBackupBanco},
                        "",
                        true,
                        "2.8"},
        CasoRecuperacao{"TheBackupIsCut",
                        Etapa::kFase6,
                        [](Recuperacao& t) {
                            t.Banco(kRetido, 121);
                            t.instalacao.Escrever(kBackupBanco, QByteArray(4096, '\0'));
                            t.diario.tamanhoBackup = 8192;
                        },
                        false,
                        {"   - Erro: Backup do banco de dados incompleto: " + kBackupBanco +
                         " (4096 bytes; esperados 8192)"},
                        "",
                        true,
                        "2.8"},
        CasoRecuperacao{"AnExecutablesBackupIsMissing",
                        Etapa::kFase6,
                        [](Recuperacao& t) {
                            t.Banco(kRetido, 121);
                            t.instalacao.Apagar(kBackup + "\\orvalisEmpresa.exe");
                        },
                        false,
                        {"   - Erro: Backup do orvalisEmpresa.exe não encontrado: " + kBackup +
                         "\\orvalisEmpresa.exe"},
                        "",
                        true,
                        "2.8"},
        CasoRecuperacao{"TwoDatabases",
                        Etapa::kFase5,
                        [](Recuperacao& t) {
                            t.Banco(kRetido, 121);
                            t.Banco(kVivo, 120);
                        },
                        false,
                        {"   - Erro: Existem dois bancos de dados: " + kVivo + " e " + kRetido},
                        "120",
                        true,
                        "2.8"},
        CasoRecuperacao{"NoDatabaseAtAll",
                        Etapa::kBackupBanco,
                        [](Recuperacao&) {},
                        false,
                        {"   - Erro: Banco de dados não encontrado: " + kVivo},
                        "",
                        false,
                        "2.8"},
        CasoRecuperacao{"TheRestoreCopyIsRefused",
                        Etapa::kFase5,
                        [](Recuperacao& t) {
                            t.Banco(kRetido, 121);
                            t.plataforma.aoCopiar = [](const QString&, const QString&) {
                                return winerror::kDiskFull;
                            };
                        },
                        false,
                        {kRestauraBanco, "   - Erro: Não foi possível restaurar " + kVivo +
                                             ": Espaço insuficiente no disco."},
                        "",
                        true,
                        "2.8"}),
    [](const ::testing::TestParamInfo<CasoRecuperacao>& info) { return info.param.nome; });

// A run against the vendor's stand-in on the same installation: the journal as a run
// keeps it, and the recovery as a run and a start without arguments do it.
class RecuperacaoNaExecucao : public Recuperacao {
  public:
    FornecedorLocal fornecedor;
    Endpoints anteriores = Endpoints::Atuais();

    void SetUp() override {
        Recuperacao::SetUp();
        ASSERT_TRUE(teste::ServidoresLocais::NomesDeTesteResolvem())
            << "run inside scripts/run-tests, whose hosts file names the test hosts";
        instalacao.Apagar(kBackup);
        teste::PrepararAtualizacaoServidor(instalacao, janela);
        fornecedor.PublicarLiberacao("2.8",
                                     {FornecedorLocal::Pacote121(), FornecedorLocal::Pacote122()});
        fornecedor.Iniciar("2.8.ERP");
        Endpoints::Substituir(fornecedor.Fornecedor());
    }
    void TearDown() override { Endpoints::Substituir(anteriores); }

    void Executar() {
        janela.executor().ExecutarExecucao([&] { janela.AtualizarSistema(); });
    }
    std::optional<Etapa> EtapaNoDiario() {
        DiarioAtualizacao lido;
        // Read through the recorder, below the fault hooks that call this.
        if (DiarioAtualizacao::Ler(gravador, &lido) != DiarioAtualizacao::Leitura::kLido) {
            return std::nullopt;
        }
        return lido.etapa;
    }
};

TEST_F(RecuperacaoNaExecucao, TheJournalFollowsEveryBoundaryAndGoesWithTheRun) {
    std::vector<Etapa> etapas;
    std::optional<DiarioAtualizacao> naInstalacao;
    const auto observar = [&] {
        const std::optional<Etapa> etapa = EtapaNoDiario();
        if (!etapa || (!etapas.empty() && etapas.back() == *etapa)) return;
        etapas.push_back(*etapa);
        if (*etapa == Etapa::kFase6) {
            naInstalacao.emplace();
            DiarioAtualizacao::Ler(gravador, &*naInstalacao);
        }
    };
    plataforma.aoTestarArquivo = [&](const QString&) { observar(); };
    plataforma.aoMover = [&](const QString&, const QString&) -> uint32_t {
        observar();
        return 0;
    };
    plataforma.aoCopiar = [&](const QString&, const QString&) -> uint32_t {
        observar();
        return 0;
    };
    gravador.aoProcessarMensagens = observar;
    gravador.agora = QDateTime(QDate(2026, 12, 10), QTime(15, 0, 0));

    Executar();

    EXPECT_EQ(janela.Label1->text(), "Sistema Atualizado");
    EXPECT_EQ(etapas, (std::vector<Etapa>{Etapa::kRetencao, Etapa::kBackupBanco, Etapa::kFase5,
                                          Etapa::kFase6, Etapa::kVersaoGravada}));
    ASSERT_TRUE(naInstalacao);
    EXPECT_EQ(naInstalacao->inicio, gravador.agora);
    EXPECT_EQ(naInstalacao->bancoVivo, kVivo);
    EXPECT_EQ(naInstalacao->bancoRetido, kRetido);
    EXPECT_EQ(naInstalacao->pastaBackup, janela.PastaBackupExecucao());
    EXPECT_EQ(naInstalacao->pastaMestre, kMestre);
    // What phase 3 found in the master folder, the support programs that phase 2 has
    // just unpacked there included.
    EXPECT_EQ(naInstalacao->executaveis,
              QStringList({"orvalisAssistente.exe", "orvalisConectado.exe", "orvalisEmpresa.exe",
                           "orvalisMonitorPublicacao.exe"}));
    EXPECT_EQ(naInstalacao->tamanhoBackup,
              instalacao.Ler(janela.PastaBackupExecucao() + "\\OLD_RIVELOBASE.FDB").size());
    EXPECT_FALSE(Existe(kJournal)) << "nothing is left to undo";
    EXPECT_EQ(instalacao.Listar(kMestre).filter("AtualizacaoEmAndamento"),
              QStringList{"AtualizacaoEmAndamento.lock"})
        << "nor a temporary file of it; the reservation's file stays, let go";
}

TEST_F(RecuperacaoNaExecucao, ARunThatEndsWithNothingToUndoLeavesNoJournal) {
    // Held by another user: phase 1 cannot take the database.
    std::optional<BancoTeste> outro(std::in_place, instalacao.Nativo(kVivo).toStdString());
    Executar();
    EXPECT_EQ(Textos().count("    - Erro: Existem outros usuários ou aplicativos na rede que "
                             "estão conectados ao banco de dados do orvalis Empresa."),
              1);
    EXPECT_FALSE(Existe(kJournal));
    outro.reset();

    // A failed install, with the executables and the database restored by the run.
    plataforma.aoCopiar = [](const QString& origem, const QString& destino) -> uint32_t {
        return teste::InstalaONovoEmpresa(origem, destino) ? winerror::kSharingViolation : 0;
    };
    Executar();
    EXPECT_EQ(janela.Label1->text(), "Falha na atualização do Sistema");
    EXPECT_EQ(Contador(kVivo), "120");
    EXPECT_FALSE(Existe(kJournal));
}

TEST_F(RecuperacaoNaExecucao, ARestoreThatFailedIsFinishedByTheNextRunWhichThenUpdates) {
    // The install fails, and so does the run's own copy of the backup.
    plataforma.aoCopiar = [](const QString& origem, const QString& destino) -> uint32_t {
        const bool instalacaoNova = teste::InstalaONovoEmpresa(origem, destino);
        const bool restauracao = origem.endsWith("OLD_RIVELOBASE.FDB") && destino == kVivo;
        return instalacaoNova || restauracao ? winerror::kDiskFull : 0;
    };
    Executar();
    EXPECT_EQ(Textos().count(" Não foi possível Restaurar o Backup do Banco de dados."), 1);
    EXPECT_EQ(EtapaNoDiario(), Etapa::kFase6) << "the journal stays for the undo";
    EXPECT_TRUE(Existe(kRetido));

    plataforma.aoCopiar = nullptr;
    gravador.agora = QDateTime(QDate(2026, 12, 10), QTime(16, 0, 0));
    Executar();

    const QStringList textos = Textos();
    const qsizetype fase1 = textos.indexOf(" FASE 1 de 7 - VERIFICAÇÕES INICIAIS");
    ASSERT_GE(fase1, 0);
    EXPECT_EQ(textos.mid(0, fase1),
              QStringList({kCabecalho, "   - Atualização iniciada em 10/12/2026 14:30:05",
                           "   - Restaurando orvalisAssistente.exe",
                           "   - Restaurando orvalisConectado.exe", kRestauraExecutavel,
                           "   - Restaurando orvalisMonitorPublicacao.exe",
                           "   - Restaurando Banco de Dados de " + janela.PastaBackupExecucao() +
                               "\\OLD_RIVELOBASE.FDB",
                           "   - OK"}));
    EXPECT_EQ(janela.Label1->text(), "Sistema Atualizado");
    EXPECT_EQ(Contador(kVivo), "122");
    EXPECT_EQ(Executavel(), "orvalisEmpresa.exe 2.8");
    EXPECT_FALSE(Existe(kJournal));
    EXPECT_FALSE(Existe(kRetido));
    ASSERT_EQ(fornecedor.Mensagens().size(), 2);
    EXPECT_TRUE(fornecedor.Mensagens()[1]["corpo"].toString().contains(kCabecalho))
        << "the report carries the recovery";
}

TEST_F(RecuperacaoNaExecucao, ARecoveryThatCannotProceedEndsTheRunAsAFailedOne) {
    instalacao.CriarPasta(kBackup);
    ASSERT_TRUE(plataforma.MoveFile(kVivo, kRetido));
    GravarDiario(Etapa::kFase5);  // its backup is not there
    Executar();
    const QStringList textos = Textos();
    ASSERT_GE(textos.size(), 4);
    EXPECT_EQ(textos.mid(0, 4),
              QStringList({kCabecalho, kInicio,
                           "   - Erro: Backup do banco de dados não encontrado: " + kBackupBanco,
                           " FASE 7 DE 7 - ENVIO DE E-MAIL INFORMATIVO:"}));
    EXPECT_EQ(textos.mid(textos.size() - 4),
              QStringList({" FALHA NA ATUALIZAÇÃO DO SISTEMA:",
                           "   - O seu sistema e banco de dados não foram atualizados.",
                           "   - Entre em contato com o suporte técnico da orvalis.",
                           "   - A versão anterior, sem alterações, continua disponível para o "
                           "uso."}));
    EXPECT_EQ(textos.count(" FASE 1 de 7 - VERIFICAÇÕES INICIAIS"), 0);
    EXPECT_EQ(janela.Label1->text(), "Falha na atualização do Sistema");
    EXPECT_FALSE(janela.btRefresh->isHidden());
    EXPECT_FALSE(janela.btAbortar->isHidden());
    ASSERT_EQ(fornecedor.Mensagens().size(), 1);
    EXPECT_TRUE(fornecedor.Mensagens()[0]["assunto"].toString().startsWith(
        "orvalis Empresa - FALHA DA ATUALIZAÇÃO DO SISTEMA - Versão 2.8"));
    EXPECT_TRUE(Existe(kJournal));
    EXPECT_TRUE(Existe(kRetido)) << "nothing more is changed";
    EXPECT_EQ(instalacao.Ler(kDados + "\\Conectado.txt"), QByteArray("ATUALIZAR\r\n"));
}

TEST_F(RecuperacaoNaExecucao, AnotherProcessHoldingTheInstallationStopsTheRunBeforeAnything) {
    ASSERT_TRUE(plataforma.MoveFile(kVivo, kRetido));
    GravarDiario(Etapa::kFase5);
    const QByteArray diarioAntes = instalacao.Ler(kJournal);
    instalacao.CriarPasta(kMestre + "\\tmp");
    instalacao.Escrever(kMestre + "\\tmp\\da outra execucao.rar", "x");
    // Another process (here another holder) runs an update or a recovery now.
    const std::unique_ptr<ExclusiveFile> outra =
        gravador.OpenExclusive(kMestre + "\\AtualizacaoEmAndamento.lock");
    ASSERT_NE(outra, nullptr);
    Executar();
    EXPECT_EQ(Textos().mid(0, 1),
              QStringList{"   - Erro: Outra execução do atualizador está em andamento neste "
                          "servidor: " +
                          kMestre + "\\AtualizacaoEmAndamento.lock"});
    EXPECT_EQ(instalacao.Ler(kJournal), diarioAntes) << "its journal is the other's";
    EXPECT_TRUE(Existe(kRetido));
    EXPECT_TRUE(instalacao.Existe(kMestre + "\\tmp\\da outra execucao.rar"));
    EXPECT_FALSE(instalacao.Existe(kDados + "\\Conectado.txt"));
    EXPECT_FALSE(janela.btRefresh->isHidden());
    EXPECT_TRUE(fornecedor.Mensagens().isEmpty());

    // Started without arguments, it does not recover under the other either.
    gravador.linhaComando = "orvalisAtualizador.exe";
    TfrmPrincipal sozinha(gravador);
    sozinha.FormShow();
    sozinha.TimerRecuperarAtualizacaoTimer();
    EXPECT_EQ(sozinha.Label1->text(), "Falha na recuperação da atualização");
    EXPECT_EQ(instalacao.Ler(kJournal), diarioAntes);
    EXPECT_TRUE(Existe(kRetido));
}

TEST_F(RecuperacaoNaExecucao, AHeldFileThatIsNotTheRunsIsNeverTakenForItsDatabase) {
    // As an earlier updater left it: half of package 121 applied, under the held name.
    Banco(kRetido, 121);
    instalacao.Apagar(kDados + "\\Rivelobase.fdb");
    for (int execucao = 0; execucao < 2; ++execucao) {
        Executar();
        EXPECT_EQ(Textos().count(kCabecalho), 0) << "no recovery of a run that never held it";
        EXPECT_FALSE(Existe(kJournal));
        EXPECT_FALSE(Existe(kVivo));
        EXPECT_TRUE(Existe(kRetido));
    }
    // The held name taken by somebody else's leftover beside the live file: the same.
    Banco(kVivo, 120);
    Executar();
    EXPECT_FALSE(Existe(kJournal));
    EXPECT_EQ(Contador(kVivo), "120");
    EXPECT_EQ(Contador(kRetido), "121");
}

TEST_F(RecuperacaoNaExecucao, AnUndoThatCouldNotPutAnExecutableBackIsFinishedLater) {
    // The journal cannot take the stamp's boundary, so the run undoes itself; and the
    // undo cannot put orvalisEmpresa.exe back (a user has started it).
    plataforma.aoCopiar = [](const QString& origem, const QString&) -> uint32_t {
        const bool restauracao =
            origem.contains("\\Backup\\") && origem.endsWith("\\orvalisEmpresa.exe");
        return restauracao ? winerror::kSharingViolation : 0;
    };
    plataforma.aoSubstituir = [this](const QString& origem, const QString&) -> uint32_t {
        const bool carimbo =
            origem.endsWith(".gravando") && instalacao.Ler(origem).contains("etapa=versao");
        return carimbo ? winerror::kAccessDenied : 0;
    };
    Executar();
    EXPECT_EQ(janela.Label1->text(), "Falha na atualização do Sistema");
    EXPECT_EQ(Contador(kVivo), "120");
    EXPECT_EQ(Executavel(), "orvalisEmpresa.exe 2.8") << "the copy back was refused";
    ASSERT_TRUE(Existe(kJournal)) << "something is left to undo";
    EXPECT_EQ(EtapaNoDiario(), Etapa::kBancoRestaurado);

    // The ERP opens the restored database meanwhile; the next start still finishes it.
    {
        BancoTeste usado(instalacao.Encontrado(kVivo));
        usado.Executar("UPDATE TAB_PARAMETRO SET NM_EMPRESA = 'usada desde'");
    }
    plataforma.aoCopiar = nullptr;
    plataforma.aoSubstituir = nullptr;
    janela.Memo1->clear();
    EXPECT_TRUE(janela.RecuperarAtualizacaoInterrompida());
    EXPECT_EQ(Executavel(), "orvalisEmpresa.exe 2.7");
    EXPECT_EQ(Contador(kVivo), "120");
    EXPECT_FALSE(Existe(kJournal));
}

TEST_F(RecuperacaoNaExecucao, TheRecoveryComesBeforeTheSiteTest) {
    ASSERT_TRUE(plataforma.MoveFile(kVivo, kRetido));
    GravarDiario(Etapa::kRetencao);
    janela.itVersaoSite = "SEM";
    Executar();
    EXPECT_EQ(Textos().mid(0, 6), QStringList({kCabecalho, kInicio, kRenomeia, "   - OK",
                                               " FASE 1 de 7 - VERIFICAÇÕES INICIAIS",
                                               "   - Testando conexão com o site da orvalis"}));
    EXPECT_EQ(Contador(kVivo), "120");
    EXPECT_FALSE(Existe(kJournal));
}

TEST_F(Recuperacao, StartedWithoutArgumentsTheProgramRecoversInsteadOfSendingTheUserAway) {
    Banco(kRetido, 121);
    GravarDiario(Etapa::kFase6);
    gravador.linhaComando = "orvalisAtualizador.exe";
    janela.FormShow();
    EXPECT_EQ(janela.PageControl1->currentWidget(), janela.TabSheet4);
    EXPECT_EQ(janela.Label1->text(), "Aguarde… Recuperando a atualização interrompida");
    EXPECT_TRUE(janela.TimerRecuperarAtualizacao->isActive());
    EXPECT_FALSE(janela.tmSairAplicativo->isActive());
    EXPECT_TRUE(gravador.mensagens.empty()) << "no notice that the ERP must start it";

    janela.TimerRecuperarAtualizacaoTimer();

    EXPECT_FALSE(janela.TimerRecuperarAtualizacao->isActive());
    EXPECT_EQ(Textos(),
              QStringList({kCabecalho, kInicio, kRestauraExecutavel, kRestauraBanco, "   - OK"}));
    EXPECT_EQ(janela.Label1->text(), "Recuperação concluída");
    EXPECT_FALSE(janela.btOk->isHidden());
    EXPECT_EQ(Contador(kVivo), "120");
    EXPECT_EQ(Executavel(), "orvalisEmpresa.exe 2.7");
    EXPECT_FALSE(Existe(kJournal));

    // A recovery that cannot proceed says so in the window and keeps the journal.
    Banco(kRetido, 121);
    instalacao.Apagar(kBackupBanco);
    GravarDiario(Etapa::kFase5);
    janela.TimerRecuperarAtualizacaoTimer();
    EXPECT_EQ(janela.Label1->text(), "Falha na recuperação da atualização");
    EXPECT_TRUE(Existe(kJournal));
}

TEST_F(Recuperacao, WithoutAJournalTheStartWithoutArgumentsIsAsBefore) {
    gravador.linhaComando = "orvalisAtualizador.exe";
    janela.FormShow();
    ASSERT_EQ(gravador.mensagens.size(), 1u);
    EXPECT_EQ(gravador.mensagens[0].texto,
              "Esse aplicativo tem que ser executado a partir do orvalisEmpresa");
    EXPECT_TRUE(janela.tmSairAplicativo->isActive());
    EXPECT_FALSE(janela.TimerRecuperarAtualizacao->isActive());
}

TEST_F(Recuperacao, TheWorkstationRefreshNeverTouchesTheJournal) {
    Banco(kRetido, 121);
    GravarDiario(Etapa::kFase5);
    const QByteArray antes = instalacao.Ler(kJournal);
    gravador.linhaComando =
        "orvalisAtualizador.exe @F1 @MC:\\orvalis§Empresa\\Atualizador "
        "@ED:\\orvalis§Estacao @AorvalisEmpresa.exe";
    janela.FormShow();
    EXPECT_EQ(janela.PageControl1->currentWidget(), janela.TabSheet1);
    EXPECT_FALSE(janela.TimerRecuperarAtualizacao->isActive());
    janela.executor().ExecutarExecucao([&] { janela.timerAtualizaMaqLocalTimer(); });
    EXPECT_EQ(instalacao.Ler(kJournal), antes);
    EXPECT_TRUE(Existe(kRetido));
}

}  // namespace
}  // namespace orvalis
