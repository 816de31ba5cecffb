// A server update cut off at every step it takes (each change to a file, and each
// statement of the packages before it reaches the server and before its commit), as a
// kill or a power cut would end it: the process dies with SIGKILL at that step. Then,
// on a copy of what it left, the program started without arguments recovers alone; and
// on the original the program started again by the ERP recovers and updates.
#include "app/UnPrincipal.h"
#include "net/Endpoints.h"
#include "platform/CommandLineText.h"
#include "tests/support/AtualizacaoPreparada.h"
#include "tests/support/BancoTeste.h"
#include "tests/support/FornecedorLocal.h"
#include "tests/support/ImpressaoQt.h"
#include "tests/support/InstalacaoTemporaria.h"
#include "update/DiarioAtualizacao.h"

#include <QLabel>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <ostream>

namespace orvalis {
namespace {

using teste::BancoTeste;
using teste::FornecedorLocal;
using teste::InstalacaoTemporaria;

const QString kMestre = InstalacaoTemporaria::kPastaMestre;
const QString kDados = InstalacaoTemporaria::kPastaDados;
const QString kVivo = kDados + "\\Rivelobase.fdb";
const QString kRetido = kDados + "\\OLD_RIVELOBASE.FDB";
const QString kExecutavel = kMestre + "\\orvalisAtualizador.exe";
const QString kDiario = kMestre + "\\AtualizacaoEmAndamento.ini";
// The executables of the installation, which an update replaces.
const QStringList kAplicativos = {"orvalisConectado.exe", "orvalisEmpresa.exe"};
const QDateTime kPrimeiraExecucao(QDate(2026, 12, 10), QTime(14, 30, 5));
const QDateTime kSegundaExecucao(QDate(2026, 12, 10), QTime(15, 30, 5));

// The steps are shared out among this many test cases, which ctest runs side by side.
constexpr int kFatias = 4;

// Server installations at release 2.7 whose update runs in a child process that can be
// killed at a chosen step, against one stand-in of the vendor.
class InstalacaoInterrompida : public ::testing::Test {
  protected:
    // One stand-in of the vendor for every run of the test case.
    static void SetUpTestSuite() {
        fornecedor_ = new FornecedorLocal();
        fornecedor_->PublicarLiberacao(
            "2.8", {FornecedorLocal::Pacote121(), FornecedorLocal::Pacote122()});
        fornecedor_->Iniciar("2.8.ERP");
        pasta_ = new QTemporaryDir();
        fornecedor_->GravarIni(pasta_->filePath("fornecedor.ini"));
    }
    static void TearDownTestSuite() {
        delete fornecedor_;
        delete pasta_;
    }
    void SetUp() override {
        ASSERT_TRUE(teste::ServidoresLocais::NomesDeTesteResolvem())
            << "run inside scripts/run-tests, whose hosts file names the test hosts";
        anteriores_ = Endpoints::Atuais();
        Endpoints::Substituir(fornecedor_->Fornecedor());
    }
    void TearDown() override { Endpoints::Substituir(anteriores_); }

    // A server installation at release 2.7, counter 120, as the ERP leaves it.
    static void Preparar(InstalacaoTemporaria& instalacao) {
        teste::PrepararInstalacaoServidor(instalacao, kAplicativos);
    }

    // What a run of the child process took, when it was not killed.
    struct Execucao {
        bool morta = false;
        int64_t passos = 0;
        int64_t primeiraInstrucao = 0;  // the step of the first statement; 0 for none
        QStringList registro;           // what each step was
    };

    // The update in a process of its own (without `argumentos`: the recovery of a start
    // without arguments), killed at `passo` (0: never), with the run's failure `falha`.
    static Execucao ExecutarAte(
        InstalacaoTemporaria& instalacao, int64_t passo, const QString& falha = QString(),
        const QStringList& argumentos = InstalacaoTemporaria::kArgumentosServidor) {
        const QString passos = pasta_->filePath("passos");
        QFile::remove(passos);
        QProcess programa;
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.insert("ORVALIS_UNIDADES", instalacao.unidades());
        ambiente.insert("ORVALIS_FORNECEDOR", pasta_->filePath("fornecedor.ini"));
        ambiente.insert("ORVALIS_EXECUTAVEL", kExecutavel);
        ambiente.insert("ORVALIS_AGORA", kPrimeiraExecucao.toString(Qt::ISODate));
        ambiente.insert("ORVALIS_FALHA", falha);
        programa.setProcessEnvironment(ambiente);
        programa.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        programa.setStandardOutputFile(QProcess::nullDevice());
        programa.start(QString::fromLocal8Bit(std::getenv("ORVALIS_BINARY_DIR")) +
                           "/tests/orvalis_atualizacao_interrompida",
                       QStringList{QString::number(passo), passos} + argumentos);
        Execucao execucao;
        EXPECT_TRUE(programa.waitForStarted(10000));
        EXPECT_TRUE(programa.waitForFinished(120000)) << "the run did not end";
        if (passo > 0 && programa.exitStatus() == QProcess::CrashExit) {
            execucao.morta = true;
            return execucao;
        }
        EXPECT_EQ(programa.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(programa.exitCode(), 0);
        QFile arquivo(passos);
        EXPECT_TRUE(arquivo.open(QIODevice::ReadOnly));
        QStringList linhas = QString::fromUtf8(arquivo.readAll()).split('\n', Qt::SkipEmptyParts);
        if (linhas.size() >= 2) {
            execucao.passos = linhas.takeFirst().section('=', 1).toLongLong();
            execucao.primeiraInstrucao = linhas.takeFirst().section('=', 1).toLongLong();
        }
        execucao.registro = linhas;
        return execucao;
    }

    // The etapa the journal of `instalacao` names; none when there is no journal to read.
    static std::optional<DiarioAtualizacao::Etapa> EtapaDoDiario(InstalacaoTemporaria& instalacao) {
        DiarioAtualizacao lido;
        if (DiarioAtualizacao::Ler(instalacao.plataforma(), &lido) !=
            DiarioAtualizacao::Leitura::kLido) {
            return std::nullopt;
        }
        return lido.etapa;
    }

    // The program started without arguments from the master folder.
    static void RecuperarSozinho(InstalacaoTemporaria& instalacao) {
        teste::PlataformaTeste& plataforma = instalacao.plataforma();
        plataforma.linhaComando = CommandLineText::Join({kExecutavel});
        plataforma.agora = kSegundaExecucao;
        TfrmPrincipal janela(plataforma);
        const bool diario = instalacao.Existe(kDiario);
        janela.FormShow();
        ASSERT_EQ(janela.TimerRecuperarAtualizacao->isActive(), diario);
        if (!diario) return;
        janela.TimerRecuperarAtualizacaoTimer();
        EXPECT_EQ(janela.Label1->text(), "Recuperação concluída")
            << janela.LinhasLog().join("\n").toStdString();
    }

    // The program started again by the ERP with the same command line.
    static void ExecutarDeNovo(InstalacaoTemporaria& instalacao) {
        teste::PlataformaTeste& plataforma = instalacao.plataforma();
        plataforma.linhaComando = CommandLineText::Join(QStringList{kExecutavel} +
                                                        InstalacaoTemporaria::kArgumentosServidor);
        plataforma.agora = kSegundaExecucao;
        TfrmPrincipal janela(plataforma);
        janela.FormShow();
        janela.TimerAtualizarSistema->stop();
        janela.executor().ExecutarExecucao([&janela] { janela.AtualizarSistema(); });
        EXPECT_EQ(janela.Label1->text(), "Sistema Atualizado")
            << janela.LinhasLog().join("\n").toStdString();
    }

    // The database and the executables are all of release 2.7 or all of release 2.8,
    // under the live name, with no journal and no held file left. Returns the release.
    static QString UmaSoVersao(InstalacaoTemporaria& instalacao) {
        EXPECT_FALSE(instalacao.plataforma().FileExists(kDiario));
        EXPECT_FALSE(instalacao.plataforma().FileExists(kRetido));
        if (!instalacao.plataforma().FileExists(kVivo)) {
            ADD_FAILURE() << "the database is not under its live name";
            return QString();
        }
        BancoTeste banco(instalacao.Encontrado(kVivo));
        const QString contador = banco.Valor("SELECT SCRIPT_RODADO FROM TAB_PARAMETRO");
        const QString versao = banco.Valor("SELECT VERSAO_ERP FROM TAB_PARAMETRO");
        const QString tabela = banco.Valor(
            "SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'CAD_NOVIDADE'");
        if (contador == "120") {
            EXPECT_EQ(versao, "2.7");
            EXPECT_EQ(tabela, "0") << "no package of 2.8 stays in a 2.7 database";
        } else {
            EXPECT_EQ(contador, "122");
            EXPECT_EQ(versao, "2.8");
            // Every package applied exactly once.
            EXPECT_EQ(banco.Linhas("SELECT ID FROM CAD_NOVIDADE ORDER BY ID"),
                      (std::vector<QStringList>{{"1"}, {"2"}}));
        }
        const QString liberacao = versao;
        for (const QString& nome : kAplicativos) {
            EXPECT_EQ(instalacao.Ler(kMestre + "\\" + nome).toStdString(),
                      FornecedorLocal::ConteudoExecutavel(nome, liberacao))
                << nome.toStdString() << " with the database of " << liberacao.toStdString();
        }
        return liberacao;
    }

    // Every database backup opens and holds a whole release; the interrupted run's
    // backup is the installation before the update.
    static void BackupsInteiros(InstalacaoTemporaria& instalacao) {
        const QString raiz = InstalacaoTemporaria::kPastaBackup;
        for (const QString& pasta : instalacao.Listar(raiz)) {
            const QString caminho = raiz + "\\" + pasta;
            const bool primeira = pasta == "2.7." + kPrimeiraExecucao.toString("yyyyMMddHHmmss");
            if (instalacao.Existe(caminho + "\\OLD_RIVELOBASE.FDB")) {
                BancoTeste banco(instalacao.Nativo(caminho + "\\OLD_RIVELOBASE.FDB").toStdString());
                const QString contador = banco.Valor("SELECT SCRIPT_RODADO FROM TAB_PARAMETRO");
                EXPECT_TRUE(primeira ? contador == "120" : contador == "120" || contador == "122")
                    << pasta.toStdString() << " holds " << contador.toStdString();
            }
            for (const QString& nome : kAplicativos) {
                if (!primeira || !instalacao.Existe(caminho + "\\" + nome)) continue;
                EXPECT_EQ(instalacao.Ler(caminho + "\\" + nome).toStdString(),
                          FornecedorLocal::ConteudoExecutavel(nome, "2.7"));
            }
        }
    }

    static inline FornecedorLocal* fornecedor_ = nullptr;
    static inline QTemporaryDir* pasta_ = nullptr;
    Endpoints anteriores_;
};

// The parameter: the slice of the steps the case takes.
class AtualizacaoInterrompida : public InstalacaoInterrompida,
                                public ::testing::WithParamInterface<int> {};

TEST_P(AtualizacaoInterrompida, LeavesOneReleaseAndTheNextRunFinishesTheUpdate) {
    int64_t total = 0;
    {
        InstalacaoTemporaria instalacao;
        Preparar(instalacao);
        total = ExecutarAte(instalacao, 0).passos;
        ASSERT_EQ(UmaSoVersao(instalacao), "2.8") << "a run that nothing stops updates";
    }
    ASSERT_GT(total, 20);
    RecordProperty("passos", static_cast<int>(total));
    for (int64_t passo = 1 + GetParam(); passo <= total; passo += kFatias) {
        SCOPED_TRACE("killed at step " + std::to_string(passo) + " of " + std::to_string(total));
        InstalacaoTemporaria instalacao;
        Preparar(instalacao);
        ASSERT_TRUE(ExecutarAte(instalacao, passo).morta) << "the run was not killed";
        {
            InstalacaoTemporaria sozinha;
            instalacao.CopiarPara(sozinha);
            RecuperarSozinho(sozinha);
            UmaSoVersao(sozinha);
        }
        ExecutarDeNovo(instalacao);
        EXPECT_EQ(UmaSoVersao(instalacao), "2.8");
        BackupsInteiros(instalacao);
        // One step that goes wrong says enough; the rest would repeat it.
        if (HasFailure()) break;
    }
}

INSTANTIATE_TEST_SUITE_P(Fatias, AtualizacaoInterrompida, ::testing::Range(0, kFatias));

// A run that fails and undoes itself, cut off anywhere along that undo (from its first
// statement on; before it, it is the run above): what is left, recovered alone, is all of
// the old release.
struct CasoDesfazer {
    const char* nome;
    const char* falha;  // the run's failure, as the child process takes it
};

void PrintTo(const CasoDesfazer& caso, std::ostream* saida) {
    *saida << caso.nome;
}

class DesfazerInterrompido : public InstalacaoInterrompida,
                             public ::testing::WithParamInterface<CasoDesfazer> {};

TEST_P(DesfazerInterrompido, LeavesTheOldReleaseOnceRecovered) {
    const QString falha = QString::fromUtf8(GetParam().falha);
    Execucao completa;
    {
        InstalacaoTemporaria instalacao;
        Preparar(instalacao);
        completa = ExecutarAte(instalacao, 0, falha);
        ASSERT_EQ(UmaSoVersao(instalacao), "2.7") << "the failed run undid itself";
    }
    ASSERT_GT(completa.primeiraInstrucao, 0);
    for (int64_t passo = completa.primeiraInstrucao; passo <= completa.passos; ++passo) {
        SCOPED_TRACE(falha.toStdString() + ", killed at step " + std::to_string(passo) + " of " +
                     std::to_string(completa.passos));
        InstalacaoTemporaria instalacao;
        Preparar(instalacao);
        ASSERT_TRUE(ExecutarAte(instalacao, passo, falha).morta);
        RecuperarSozinho(instalacao);
        EXPECT_EQ(UmaSoVersao(instalacao), "2.7");
        if (HasFailure()) break;
    }
}

INSTANTIATE_TEST_SUITE_P(Falhas, DesfazerInterrompido,
                         ::testing::Values(CasoDesfazer{"AFailedStatement", "instrucao:3"},
                                           CasoDesfazer{"AFailedInstall", "instalacao"}),
                         [](const ::testing::TestParamInfo<CasoDesfazer>& info) {
                             return std::string(info.param.nome);
                         });

// A recovery that is itself cut off, at each of its steps, is finished by the next.
TEST_F(AtualizacaoInterrompida, ARecoveryCutOffIsFinishedByTheNextOne) {
    // The richest undo: the run killed late in phase 6, the executables new, the held
    // database with every package, nothing stamped in the journal yet.
    InstalacaoTemporaria interrompida;
    int64_t passo = 0;
    {
        InstalacaoTemporaria instalacao;
        Preparar(instalacao);
        passo = ExecutarAte(instalacao, 0).passos;
    }
    for (;; --passo) {
        ASSERT_GT(passo, 0) << "no step of the run ends in phase 6";
        InstalacaoTemporaria instalacao;
        Preparar(instalacao);
        ASSERT_TRUE(ExecutarAte(instalacao, passo).morta);
        if (EtapaDoDiario(instalacao) == DiarioAtualizacao::Etapa::kFase6) {
            instalacao.CopiarPara(interrompida);
            break;
        }
    }
    for (int64_t corte = 1;; ++corte) {
        SCOPED_TRACE("recovery killed at step " + std::to_string(corte));
        InstalacaoTemporaria instalacao;
        interrompida.CopiarPara(instalacao);
        const Execucao recuperacao = ExecutarAte(instalacao, corte, QString(), {});
        RecuperarSozinho(instalacao);
        EXPECT_EQ(UmaSoVersao(instalacao), "2.7");
        if (!recuperacao.morta || HasFailure()) break;
    }
}

// What a power cut, and not only a kill, needs: before the first statement of the
// packages, the backup copy (which the platform flushes) and then the journal, written,
// flushed and renamed through to the disk; the held name taken through to the disk.
TEST_F(AtualizacaoInterrompida, TheBackupAndTheJournalReachTheDiskBeforeAnyStatement) {
    InstalacaoTemporaria instalacao;
    Preparar(instalacao);
    const Execucao execucao = ExecutarAte(instalacao, 0);
    ASSERT_GT(execucao.primeiraInstrucao, 0);
    const QStringList antes = execucao.registro.mid(0, execucao.primeiraInstrucao - 1);
    const auto ultimo = [&antes](const QString& passo) { return antes.lastIndexOf(passo); };
    const qsizetype criado = ultimo("criar " + kDiario + ".gravando");
    const qsizetype descarregado = ultimo("descarregar " + kDiario + ".gravando");
    const qsizetype renomeado =
        ultimo("substituir com gravação direta " + kDiario + ".gravando -> " + kDiario);
    qsizetype backup = -1;
    for (qsizetype i = 0; i < antes.size(); ++i) {
        if (antes[i].startsWith("copiar " + kRetido + " -> ") &&
            antes[i].endsWith("\\OLD_RIVELOBASE.FDB") && antes[i].contains("\\Backup\\")) {
            backup = i;
        }
    }
    ASSERT_GE(backup, 0) << antes.join('\n').toStdString();
    EXPECT_LT(backup, criado) << "the journal that allows phase 5 comes after the backup copy";
    EXPECT_LT(criado, descarregado);
    EXPECT_LT(descarregado, renomeado);
    EXPECT_EQ(renomeado, antes.size() - 1) << "nothing else between it and the first statement";
    const qsizetype retencao =
        antes.indexOf("mover com gravação direta " + kVivo + " -> " + kRetido);
    EXPECT_GE(retencao, 0) << antes.join('\n').toStdString();
    EXPECT_GT(retencao, antes.indexOf("substituir com gravação direta " + kDiario +
                                      ".gravando -> " + kDiario))
        << "the journal says where the database goes before it goes there";
}

}  // namespace
}  // namespace orvalis
