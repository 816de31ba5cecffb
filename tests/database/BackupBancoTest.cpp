#include "app/Erros.h"
#include "database/ConexaoBanco.h"
#include "database/ConsultaSql.h"
#include "platform/Ansi.h"
#include "tests/database/CenarioBanco.h"

#include <QPlainTextEdit>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <stdexcept>

namespace orvalis {
namespace {

using teste::CenarioBanco;

const QStringList kFase4 = {
    " FASE 4 de 7 - BACKUP LOCAL DO BANCO DE DADOS:", "   - Fazendo backup de Rivelobase.fdb",
    "   -  Aguarde... Isso pode levar alguns minutos."};
const QStringList kFase4Concluida = {"   - OK", "   - Fase 4 concluída com sucesso."};
const QString kErroBackup = "   - Erro: Falha no backup do banco de dados.";
const QStringList kFase5 = {" FASE 5 de 7 - ATUALIZAÇÃO DO BANCO DE DADOS:",
                            "    - Testando atualização do banco de dados.",
                            "    - Aguarde... Isso pode levar alguns minutos.",
                            "   -  Testando versão atual do sistema. "};
const QStringList kFase5Concluida = {"    - OK", "    - Fase 5 concluída com sucesso."};
const QString kRestauroFalhou = " Não foi possível Restaurar o Backup do Banco de dados.";

// True when no process holds the file: the engine keeps a lock on every file it has
// attached.
bool Livre(const std::string& arquivo) {
    const int descritor = open(arquivo.c_str(), O_RDONLY);
    if (descritor < 0) return false;
    const bool livre = flock(descritor, LOCK_EX | LOCK_NB) == 0;
    close(descritor);
    return livre;
}

// Phase 1 done: the database held and connected at counter 120.
class BackupBanco : public CenarioBanco {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ExecutarFase1());
        janela.Memo1->clear();
        registro.esperas.clear();
        registro.processamentosMensagens = 0;
        plataforma.movimentos.clear();
    }
    QString Backup() const { return PastaBackup() + "\\OLD_RIVELOBASE.FDB"; }
};

TEST_F(BackupBanco, CopiesTheHeldFileWithNoAttachmentOpenAndConnectsAgain) {
    instalacao.Escrever(Backup(), "the backup of an earlier attempt");
    QByteArray copiado;
    bool conectadoNaCopia = true;
    bool livreNaCopia = false;
    plataforma.aoCopiar = [&](const QString& origem, const QString& destino) -> uint32_t {
        EXPECT_EQ(origem, kArquivoRetido);
        EXPECT_EQ(destino, Backup());
        conectadoNaCopia = janela.IBDatabase1->Conectado();
        livreNaCopia = Livre(Nativo(kArquivoRetido));
        copiado = instalacao.Ler(kArquivoRetido);
        return 0;
    };

    ASSERT_NO_THROW(janela.Fase4BackupBanco());

    EXPECT_EQ(Log(), kFase4 + kFase4Concluida + kFase5 + kFase5Concluida);
    EXPECT_FALSE(conectadoNaCopia);
    EXPECT_TRUE(livreNaCopia) << "the engine had let the file go";
    EXPECT_EQ(instalacao.Ler(Backup()), copiado) << "byte for byte";
    EXPECT_EQ(teste::BancoTeste(Nativo(Backup())).Valor("select script_rodado from tab_parametro"),
              "120");
    ASSERT_TRUE(janela.IBDatabase1->Conectado());
    janela.qrAux->Executar("select count(*) from sis_usuario");
    EXPECT_EQ(janela.qrAux->ComoInteiro("count"), 2);
    EXPECT_TRUE(janela.itbancoAtualizado);
    // Phase 4's and phase 5's own, and the progress line's first and last report of the
    // copy of this small file.
    EXPECT_EQ(registro.processamentosMensagens, 3 + 2);
}

struct CasoCopiaFalha {
    const char* nome;
    bool discoCheio;  // else the run's backup folder is missing
};

class BackupBancoCopiaFalha : public BackupBanco,
                              public ::testing::WithParamInterface<CasoCopiaFalha> {};

TEST_P(BackupBancoCopiaFalha, LogsTheErrorAbortsAndLeavesTheConnectionOpenAgain) {
    if (GetParam().discoCheio) {
        plataforma.aoCopiar = [](const QString&, const QString&) { return winerror::kDiskFull; };
    } else {
        instalacao.Apagar(PastaBackup());
    }
    janela.itbancoAtualizado = true;

    EXPECT_THROW(janela.Fase4BackupBanco(), EAbort);

    EXPECT_EQ(Log(), kFase4 + QStringList{kErroBackup});
    EXPECT_TRUE(janela.IBDatabase1->Conectado());
    EXPECT_FALSE(instalacao.Existe(Backup()));
    EXPECT_EQ(instalacao.Listar(kDados), QStringList{"OLD_RIVELOBASE.FDB"});
    EXPECT_TRUE(janela.itbancoAtualizado) << "phase 5 never ran";
}

INSTANTIATE_TEST_SUITE_P(Casos, BackupBancoCopiaFalha,
                         ::testing::Values(CasoCopiaFalha{"DiskFull", true},
                                           CasoCopiaFalha{"BackupFolderMissing", false}),
                         [](const auto& info) { return std::string(info.param.nome); });

TEST_F(BackupBanco, AReconnectThatFailsGivesTheDatabaseItsLiveNameBack) {
    plataforma.aoCopiar = [&](const QString&, const QString&) -> uint32_t {
        plataforma.erroTraducao = winerror::kPathNotFound;
        return 0;
    };

    EXPECT_THROW(janela.Fase4BackupBanco(), EAbort);

    EXPECT_EQ(Log(), kFase4 + QStringList{kErroBackup});
    EXPECT_FALSE(janela.IBDatabase1->Conectado());
    EXPECT_EQ(instalacao.Listar(kDados), QStringList{"RIVELOBASE.FDB"});
}

TEST_F(BackupBanco, AnErrorEscapingTheRunnerFailsPhase5Silently) {
    registro.aoEsperar = [](uint32_t) { throw std::runtime_error("interrompido"); };

    EXPECT_THROW(janela.Fase4BackupBanco(), EAbort);

    EXPECT_FALSE(janela.itbancoAtualizado);
    EXPECT_EQ(Log(), kFase4 + kFase4Concluida + kFase5);
}

// Phase 4 done and phase 5 failed in its first package, after two statements that
// changed the database.
class RestauroBanco : public BackupBanco {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(BackupBanco::SetUp());
        EscreverPacote(121, ToAnsi("insert into sis_usuario values (50, 'Novo');;"
                                   "update tab_parametro set versao_erp = 'x';;"
                                   "insert into nao_existe values (1);;"));
        ASSERT_NO_THROW(janela.Fase4BackupBanco());
        ASSERT_FALSE(janela.itbancoAtualizado);
        janela.Memo1->clear();
        registro.esperas.clear();
    }
};

TEST_F(RestauroBanco, PutsTheDatabaseBackAsItWasBeforePhase5) {
    janela.RestaurarBackupBanco();

    EXPECT_EQ(Log(), QStringList{"   - OK"});
    EXPECT_FALSE(janela.IBDatabase1->Conectado());
    EXPECT_EQ(instalacao.Listar(kDados), QStringList{"Rivelobase.fdb"})
        << "the held file gone, the live name in the letter case of the live path";
    const std::vector<QStringList> linhas =
        Abrir(kCaminhoVivo)
            ->Linhas(
                "select p.script_rodado, p.versao_erp, (select count(*) "
                "from sis_usuario) from tab_parametro p");
    EXPECT_EQ(linhas, (std::vector<QStringList>{{"120", "2.7", "2"}}));
    EXPECT_EQ(registro.esperas, std::vector<uint32_t>{2000});
}

TEST_F(RestauroBanco, ACopyThatFailsLeavesTheHeldFile) {
    plataforma.aoCopiar = [](const QString&, const QString&) { return winerror::kDiskFull; };

    janela.RestaurarBackupBanco();

    EXPECT_EQ(Log(), QStringList{kRestauroFalhou});
    EXPECT_FALSE(janela.IBDatabase1->Conectado());
    EXPECT_EQ(instalacao.Listar(kDados), QStringList{"OLD_RIVELOBASE.FDB"});
    EXPECT_TRUE(registro.esperas.empty());
    EXPECT_EQ(Abrir(kArquivoRetido)->Valor("select versao_erp from tab_parametro"), "x")
        << "the partly updated database is all there is";
}

}  // namespace
}  // namespace orvalis
