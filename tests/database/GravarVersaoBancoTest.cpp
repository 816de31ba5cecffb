#include "app/Erros.h"
#include "database/ConexaoBanco.h"
#include "tests/database/CenarioBanco.h"

#include <QPlainTextEdit>

#include <gtest/gtest.h>

#include <utility>

namespace orvalis {
namespace {

using teste::BancoTeste;
using teste::CenarioBanco;

const QString kErroGravacao = "   - Erro: Falha na gravação da versão no banco de dados.";

// Phase 1 done, the packages up to 122 applied.
class Carimbo : public CenarioBanco {
  protected:
    using CenarioBanco::CenarioBanco;

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ExecutarFase1());
        janela.lcScriptRodado = 122;
        janela.Memo1->clear();
        plataforma.movimentos.clear();
    }
    // SCRIPT_RODADO and VERSAO_ERP as committed, seen from an attachment of its own.
    QStringList Gravado() const {
        return Abrir(kArquivoRetido)->Linhas("select * from tab_parametro").front().mid(1, 2);
    }
    // The rename back was asked for. Refused here, as the connection still holds the
    // file: the outcome renames it once it has disconnected.
    void PediuNomeVivo() const {
        EXPECT_EQ(plataforma.movimentos,
                  (std::vector<std::pair<QString, QString>>{{kArquivoRetido, kArquivoVivo}}));
        EXPECT_EQ(instalacao.Listar(kDados), QStringList{"OLD_RIVELOBASE.FDB"});
    }
};

TEST_F(Carimbo, WritesAndCommitsTheCounterAndTheVersion) {
    ASSERT_NO_THROW(janela.GravarVersaoBanco());
    EXPECT_EQ(Gravado(), (QStringList{"122", "2.8"}));
    EXPECT_TRUE(Log().isEmpty());
    PediuNomeVivo();
    EXPECT_TRUE(janela.IBDatabase1->Conectado());
}

TEST_F(Carimbo, WithoutAReleaseNameWritesOnlyTheCounter) {
    for (const QString versao : {"SEM", ""}) {
        SCOPED_TRACE(versao.toStdString());
        janela.itVersaoSite = versao;
        ++janela.lcScriptRodado;
        ASSERT_NO_THROW(janela.GravarVersaoBanco());
        EXPECT_EQ(Gravado(), (QStringList{QString::number(janela.lcScriptRodado), "2.7"}));
    }
}

TEST_F(Carimbo, DoublesTheQuotesOfTheVersion) {
    janela.itVersaoSite = "2.8 'beta' d'Oeste";
    ASSERT_NO_THROW(janela.GravarVersaoBanco());
    EXPECT_EQ(Gravado(), (QStringList{"122", "2.8 'beta' d'Oeste"}));
}

// A commit trigger refuses any transaction that has updated the parameter table. The
// engine reads database triggers when an attachment starts: they exist before phase 1.
class CarimboCommitRecusado : public Carimbo {
  protected:
    void SetUp() override {
        {
            const std::unique_ptr<BancoTeste> banco = Abrir(kArquivoVivo);
            banco->Executar("create exception e_carimbo 'commit recusado'");
            banco->Executar(
                "create trigger marcar for tab_parametro after update as begin "
                "rdb$set_context('USER_TRANSACTION', 'carimbo', '1'); end");
            banco->Executar(
                "create trigger recusar on transaction commit as begin "
                "if (rdb$get_context('USER_TRANSACTION', 'carimbo') = '1') then "
                "exception e_carimbo; end");
        }
        Carimbo::SetUp();
    }
};

TEST_F(CarimboCommitRecusado, IsRolledBackLoggedAndRaised) {
    try {
        janela.GravarVersaoBanco();
        FAIL() << "the stamp did not raise";
    } catch (const ErroOrvalis& erro) {
        EXPECT_TRUE(erro.mensagem().contains("commit recusado")) << erro.what();
    }
    EXPECT_EQ(Log(), QStringList{kErroGravacao});
    EXPECT_EQ(Gravado(), (QStringList{"120", "2.7"})) << "rolled back";
    PediuNomeVivo();
}

class CarimboSemScriptRodado : public Carimbo {
  protected:
    CarimboSemScriptRodado() : Carimbo(BancoTeste::Variante::kSemScriptRodado) {}
};

TEST_F(CarimboSemScriptRodado, FailsWithItsErrorLineGivesTheNameBackAndRaises) {
    try {
        janela.GravarVersaoBanco();
        FAIL() << "the stamp did not raise";
    } catch (const ErroOrvalis& erro) {
        EXPECT_TRUE(erro.mensagem().contains("SCRIPT_RODADO")) << erro.what();
    }
    EXPECT_EQ(Log(), QStringList{kErroGravacao});
    PediuNomeVivo();
    EXPECT_EQ(Abrir(kArquivoRetido)->Valor("select versao_erp from tab_parametro"), "2.7");
}

}  // namespace
}  // namespace orvalis
