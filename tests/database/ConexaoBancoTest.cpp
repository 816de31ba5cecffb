#include "app/Erros.h"
#include "database/CaminhoBanco.h"
#include "database/ConexaoBanco.h"
#include "database/ConsultaSql.h"
#include "database/ExecutorSql.h"
#include "database/TransacaoBanco.h"
#include "tests/database/CenarioBanco.h"

#include <gtest/gtest.h>

namespace orvalis {
namespace {

using teste::BancoTeste;
using teste::CenarioBanco;

TEST(NomeConexao, KeepsTheServerPrefixAndTranslatesThePathPart) {
    struct Caso {
        QString banco, servidor, caminho;
    };
    const Caso casos[] = {
        {"C:\\orvalis Empresa\\Dados\\OLD_RIVELOBASE.FDB", "",
         "C:\\orvalis Empresa\\Dados\\OLD_RIVELOBASE.FDB"},
        {"localhost:C:\\orvalis Empresa\\Dados\\OLD_RIVELOBASE.FDB",
         "localhost:", "C:\\orvalis Empresa\\Dados\\OLD_RIVELOBASE.FDB"},
        {"srv:C:\\ERP\\Dados\\OLD_RIVELOBASE.FDB", "srv:", "C:\\ERP\\Dados\\OLD_RIVELOBASE.FDB"},
        {"127.0.0.1/3051:D:\\x.fdb", "127.0.0.1/3051:", "D:\\x.fdb"},
        {"c:x.fdb", "", "c:x.fdb"},
        {"\\\\servidor\\dados\\x.fdb", "", "\\\\servidor\\dados\\x.fdb"},
        {"Dados\\x.fdb", "", "Dados\\x.fdb"},
    };
    teste::InstalacaoTemporaria instalacao;
    ConexaoBanco conexao(instalacao.plataforma());
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.banco.toStdString());
        QString servidor, caminho;
        SepararServidor(caso.banco, &servidor, &caminho);
        EXPECT_EQ(servidor, caso.servidor);
        EXPECT_EQ(caminho, caso.caminho);
        if (caso.caminho.startsWith("C:")) {
            EXPECT_EQ(conexao.TextoConexao(caso.banco),
                      caso.servidor + instalacao.Nativo(caso.caminho));
        }
    }
}

TEST(NomeConexao, IsTheHeldFileBesideTheErpsDatabasePath) {
    struct Caso {
        QString caminhoBd, banco;
    };
    const Caso casos[] = {
        {"srv:C:\\ERP\\Dados\\RIVELOBASE.FDB", "srv:C:\\ERP\\Dados\\OLD_RIVELOBASE.FDB"},
        {"C:\\orvalis Empresa\\Dados\\Rivelobase.fdb",
         "C:\\orvalis Empresa\\Dados\\OLD_RIVELOBASE.FDB"},
        {"C:\\RIVELOBASE.FDB", "C:\\\\OLD_RIVELOBASE.FDB"},
        {"srv:RIVELOBASE.FDB", "srv:\\OLD_RIVELOBASE.FDB"},
    };
    for (const Caso& caso : casos) {
        EXPECT_EQ(ArquivoNaPastaDe(caso.caminhoBd, kNomeArquivoRetido), caso.banco)
            << caso.caminhoBd.toStdString();
    }
}

TEST(NomeConexao, AnUnmappedPathIsAnError) {
    teste::InstalacaoTemporaria instalacao;
    ConexaoBanco conexao(instalacao.plataforma());
    conexao.DefinirBanco("srv:Q:\\Dados\\OLD_RIVELOBASE.FDB");
    EXPECT_THROW(conexao.Conectar(), ErroOrvalis);
    EXPECT_FALSE(conexao.Conectado());
}

// The window's own connection objects on the database under its live name.
class ObjetosConexao : public CenarioBanco {
  protected:
    void SetUp() override {
        banco.DefinirBanco(kArquivoVivo);
        ASSERT_NO_THROW(banco.Conectar());
    }
    BancoTeste& Outro() {
        if (!outro_) outro_ = Abrir(kArquivoVivo);
        return *outro_;
    }

    ConexaoBanco& banco = *janela.IBDatabase1;
    TransacaoBanco& transacao = *janela.IBTransaction1;
    ExecutorSql& sql = *janela.IBSQL1;
    ConsultaSql& consulta = *janela.qrAux;

  private:
    std::unique_ptr<BancoTeste> outro_;
};

TEST_F(ObjetosConexao, ConnectsAsSysdbaInDialect3) {
    EXPECT_TRUE(banco.Conectado());
    // In dialect 3 double quotes name a column; in dialect 1 they would make a string.
    consulta.Executar("select \"NM_EMPRESA\", current_user as usuario from tab_parametro");
    EXPECT_EQ(consulta.ComoTexto("nm_empresa"), "Padaria São João Ltda");
    EXPECT_EQ(consulta.ComoTexto("usuario"), "SYSDBA");
}

TEST_F(ObjetosConexao, ConnectingAgainDoesNothingAndTheNameCannotChangeMeanwhile) {
    EXPECT_NO_THROW(banco.Conectar());
    EXPECT_THROW(banco.DefinirBanco(kArquivoRetido), ErroOrvalis);
    EXPECT_EQ(banco.Banco(), kArquivoVivo);
    banco.Desconectar();
    EXPECT_FALSE(banco.Conectado());
    EXPECT_NO_THROW(banco.Desconectar());
}

TEST_F(ObjetosConexao, AMissingFileFailsWithTheServersMessageAndStaysClosed) {
    banco.Desconectar();
    banco.DefinirBanco(kDados + "\\NAOEXISTE.FDB");
    try {
        banco.Conectar();
        FAIL() << "connected to a missing file";
    } catch (const ErroOrvalis& erro) {
        EXPECT_TRUE(erro.mensagem().contains("NAOEXISTE.FDB")) << erro.what();
    }
    EXPECT_FALSE(banco.Conectado());
}

TEST_F(ObjetosConexao, ReadsColumnsByNameInAnyLetterCase) {
    consulta.Executar(
        " select a.nm_empresa, a.SCRIPT_RODADO, a.ATIVO_CONTAS_CORRENTES, "
        "coalesce(a.SCRIPT_RODADO, 0), a.no_fone as \"Fone\" from tab_parametro a");
    ASSERT_TRUE(consulta.TemLinha());
    for (const char* nome : {"nm_empresa", "NM_EMPRESA", "Nm_Empresa"}) {
        EXPECT_EQ(consulta.ComoTexto(nome), "Padaria São João Ltda") << nome;
    }
    EXPECT_EQ(consulta.ComoInteiro("script_rodado"), 120);
    EXPECT_EQ(consulta.ComoTexto("SCRIPT_RODADO"), "120");
    EXPECT_EQ(consulta.ComoInteiro("coalesce"), 120);
    EXPECT_EQ(consulta.ComoTexto("fone"), "(11) 5555-0101");
    // NULL reads as empty text and as 0.
    EXPECT_EQ(consulta.ComoTexto("ativo_contas_correntes"), "");
    EXPECT_EQ(consulta.ComoInteiro("ativo_contas_correntes"), 0);
    EXPECT_THROW(consulta.ComoTexto("nao_existe"), ErroOrvalis);
    EXPECT_THROW(consulta.ComoInteiro("nm_empresa"), ErroOrvalis);
}

TEST_F(ObjetosConexao, NoRowAndNullReadAsEmptyAndZero) {
    struct Caso {
        const char* consulta;
        const char* coluna;
        bool linha;
    };
    const Caso casos[] = {
        {"select nm_usuario, id_usuario from sis_usuario where id_usuario = 99", "nm_usuario",
         false},
        {"select nm_usuario, id_usuario from sis_usuario where id_usuario = 99", "id_usuario",
         false},
        // max over no rows is one row holding NULL.
        {"select max(no_log_atualizacao) from mov_log_atualizacao where 1 = 0", "max", true},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.consulta);
        consulta.Executar(caso.consulta);
        EXPECT_TRUE(consulta.Aberta());
        EXPECT_EQ(consulta.TemLinha(), caso.linha);
        EXPECT_EQ(consulta.ComoTexto(caso.coluna), "");
        EXPECT_EQ(consulta.ComoInteiro(caso.coluna), 0);
    }
    consulta.Fechar();
    EXPECT_THROW(consulta.ComoTexto("nm_usuario"), ErroOrvalis) << "a closed query has no row";
}

TEST_F(ObjetosConexao, TheTransactionStartsByItselfAndStaysActive) {
    EXPECT_FALSE(transacao.Ativa());
    consulta.Executar("select id_usuario from sis_usuario");
    EXPECT_TRUE(transacao.Ativa());
    consulta.Fechar();
    sql.DefinirTexto("insert into sis_usuario values (20, 'Vinte')");
    sql.Executar();
    transacao.CommitRetaining();
    EXPECT_TRUE(transacao.Ativa());
    EXPECT_EQ(Outro().Valor("select nm_usuario from sis_usuario where id_usuario = 20"), "Vinte");
}

TEST_F(ObjetosConexao, RollbackRetainingUndoesTheWorkAndKeepsTheTransaction) {
    sql.DefinirTexto("update tab_parametro set script_rodado = 999");
    sql.Executar();
    transacao.RollbackRetaining();
    EXPECT_TRUE(transacao.Ativa());
    consulta.Executar("select script_rodado from tab_parametro");
    EXPECT_EQ(consulta.ComoInteiro("script_rodado"), 120);
}

TEST_F(ObjetosConexao, DisconnectingCommitsTheActiveTransaction) {
    sql.DefinirTexto("update tab_parametro set script_rodado = 121");
    sql.Executar();
    consulta.Executar("select script_rodado from tab_parametro");
    banco.Desconectar();
    EXPECT_FALSE(transacao.Ativa());
    EXPECT_FALSE(consulta.Aberta());
    EXPECT_EQ(Outro().Valor("select script_rodado from tab_parametro"), "121");
}

TEST_F(ObjetosConexao, SendsTheStatementTextUnchangedInWindows1252) {
    Outro().Executar("create table notas (id integer, texto varchar(60))");
    const QString texto = "Ação: :nome e ? ficam; «ç»";
    sql.DefinirTexto("insert into notas values (1, '" + texto + "')");
    sql.Executar();
    // PSQL variables with ":" reach the server as written.
    sql.DefinirTexto(
        "execute block as declare variable n integer = 2; begin "
        "insert into notas values (:n, 'bloco'); end");
    sql.Executar();
    transacao.CommitRetaining();
    consulta.Executar("select texto, octet_length(texto) as bytes from notas where id = 1");
    EXPECT_EQ(consulta.ComoTexto("texto"), texto);
    EXPECT_EQ(consulta.ComoInteiro("bytes"), texto.size()) << "one byte per character";
    EXPECT_EQ(Outro().Valor("select texto from notas where id = 2"), "bloco");
}

TEST_F(ObjetosConexao, ServerErrorsBecomeErrorsCarryingTheServersMessage) {
    sql.DefinirTexto("insert into nao_existe values (1)");
    try {
        sql.Executar();
        FAIL() << "executed";
    } catch (const ErroOrvalis& erro) {
        EXPECT_TRUE(erro.mensagem().contains("Table unknown")) << erro.what();
        EXPECT_TRUE(erro.mensagem().contains("NAO_EXISTE")) << erro.what();
        EXPECT_FALSE(erro.mensagem().contains('\n')) << "one line for the log";
    }
    EXPECT_THROW(consulta.Executar("select x from tab_parametro"), ErroOrvalis);
    EXPECT_FALSE(consulta.Aberta());
    // The connection and its transaction carry on after a refused statement.
    consulta.Executar("select count(*) from sis_usuario");
    EXPECT_EQ(consulta.ComoInteiro("count"), 2);
}

TEST_F(ObjetosConexao, TheQueryExecutesAStatementWithoutRows) {
    consulta.DefinirTexto("update tab_parametro set versao_erp = '2.9'");
    consulta.ExecSQL();
    EXPECT_FALSE(consulta.Aberta());
    transacao.CommitRetaining();
    EXPECT_EQ(Outro().Valor("select versao_erp from tab_parametro"), "2.9");
}

}  // namespace
}  // namespace orvalis
