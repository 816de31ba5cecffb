#include "platform/Ansi.h"
#include "tests/database/CenarioBanco.h"

#include <QPlainTextEdit>

#include <gtest/gtest.h>

namespace orvalis {
namespace {

using teste::CenarioBanco;

const QString kTestando = "   -  Testando versão atual do sistema. ";

// Phase 1 done at counter 120, with a table T for the packages to work on.
class Pacotes : public CenarioBanco {
  protected:
    void SetUp() override {
        Abrir(kArquivoVivo)->Executar("create table t (id integer, v integer, texto varchar(100))");
        ASSERT_NO_FATAL_FAILURE(ExecutarFase1());
        janela.Memo1->clear();
        registro.esperas.clear();
        registro.processamentosMensagens = 0;
    }
    void Pacote(int numero, const QString& texto) const { EscreverPacote(numero, ToAnsi(texto)); }
    void Executar() { ASSERT_NO_THROW(janela.Fase5ExecutarPacotes()); }
    // What is committed, seen from an attachment of its own.
    std::vector<QStringList> Linhas(const QString& sql) const {
        return Abrir(kArquivoRetido)->Linhas(sql);
    }
    QStringList Coluna(const QString& sql) const {
        QStringList valores;
        for (const QStringList& linha : Linhas(sql)) valores << linha.value(0);
        return valores;
    }
};

TEST_F(Pacotes, AppliesEveryFollowingPackageInNumberOrder) {
    Pacote(121, "insert into t (id, v) values (121, 1);;");
    Pacote(122,
           "update t set v = v + 1 where id = 121;;\r\ninsert into t (id, v) values (122, 0);;");

    ASSERT_NO_FATAL_FAILURE(Executar());

    EXPECT_EQ(Log(), (QStringList{kTestando, "   - Executando pacote 121", "   - OK",
                                  "   - Executando pacote 122", "   - OK"}));
    EXPECT_EQ(janela.lcScriptRodado, 122);
    EXPECT_TRUE(janela.itbancoAtualizado);
    EXPECT_EQ(Linhas("select id, v from t order by id"),
              (std::vector<QStringList>{{"121", "2"}, {"122", "0"}}));
    EXPECT_EQ(registro.esperas, (std::vector<uint32_t>{1000, 2000, 2000}));
    EXPECT_EQ(registro.processamentosMensagens, 1) << "none inside the loop";
}

TEST_F(Pacotes, StopsAtTheFirstMissingNumber) {
    Pacote(121, "insert into t (id) values (121);;");
    Pacote(123, "this would fail;;");

    ASSERT_NO_FATAL_FAILURE(Executar());

    EXPECT_EQ(Log(), (QStringList{kTestando, "   - Executando pacote 121", "   - OK"}));
    EXPECT_EQ(janela.lcScriptRodado, 121);
    EXPECT_TRUE(janela.itbancoAtualizado);
    EXPECT_EQ(Coluna("select id from t"), QStringList{"121"});
}

TEST_F(Pacotes, WithoutAPackageNothingRuns) {
    ASSERT_NO_FATAL_FAILURE(Executar());
    EXPECT_EQ(Log(), QStringList{kTestando});
    EXPECT_EQ(janela.lcScriptRodado, 120);
    EXPECT_TRUE(janela.itbancoAtualizado);
    EXPECT_EQ(registro.esperas, std::vector<uint32_t>{1000});
}

struct CasoPacote {
    const char* nome;
    QString pacote;
    QStringList textos;  // column texto of T, by id
};

void PrintTo(const CasoPacote& caso, std::ostream* saida) {
    *saida << caso.nome;
}

class UmPacote : public Pacotes, public ::testing::WithParamInterface<CasoPacote> {};

TEST_P(UmPacote, RunsEachStatementOnceWithItsSemicolon) {
    Pacote(121, GetParam().pacote);

    ASSERT_NO_FATAL_FAILURE(Executar());

    EXPECT_EQ(Log(), (QStringList{kTestando, "   - Executando pacote 121", "   - OK"}));
    EXPECT_TRUE(janela.itbancoAtualizado);
    EXPECT_EQ(janela.lcScriptRodado, 121);
    EXPECT_EQ(Coluna("select texto from t order by id"), GetParam().textos);
}

INSTANTIATE_TEST_SUITE_P(
    Divisao, UmPacote,
    ::testing::Values(
        CasoPacote{"EndedPairs",
                   "insert into t (id, texto) values (1, 'A');;insert into t (id, texto) values "
                   "(2, 'B');;",
                   {"A", "B"}},
        // Executed, the empty piece between the pairs would be a lone ";" and fail.
        CasoPacote{"EmptyPieceSkipped",
                   "insert into t (id, texto) values (1, 'A');;;;insert into t (id, texto) "
                   "values (2, 'B')",
                   {"A", "B"}},
        CasoPacote{
            "NoSeparatorIsOneStatement", "insert into t (id, texto) values (1, 'só')", {"só"}},
        CasoPacote{"LinesBecomeBlanks",
                   "insert into t (id, texto)\r\nvalues (1, 'uma\r\nduas\ntrês\rquatro')\r\n;;",
                   {"uma duas três quatro"}},
        CasoPacote{
            "WrittenBreakIsABlank", "insert into t (id, texto) values (1, 'x#$D#$Ay');;", {"x y"}},
        CasoPacote{"OnlyBlankLines", "\r\n\r\n   \r\n\t\r\n", {}}, CasoPacote{"EmptyFile", "", {}},
        CasoPacote{"SingleSemicolonsStayInside",
                   "execute block as begin insert into t (id, texto) values (1, 'a;b'); "
                   "insert into t (id, texto) values (2, 'c'); end;;",
                   {"a;b", "c"}},
        CasoPacote{"DashesInsideAStringStay",
                   "insert into t (id, texto) values (1, '-- não é comentário');;",
                   {"-- não é comentário"}}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST_F(Pacotes, ALineCommentCannotSwallowTheRestOfItsStatement) {
    Pacote(121,
           "insert into t (id, v) values (1, 5);;insert into t (id, v) values (7, 5);;\r\n"
           "UPDATE T SET V = 0 -- note\r\nWHERE ID = 1;;\r\n"
           "-- a whole line of comment\r\n"
           "UPDATE T SET TEXTO = 'a -- b' /* -- */ WHERE ID = 7 -- last;;");

    ASSERT_NO_FATAL_FAILURE(Executar());

    EXPECT_EQ(janela.lcScriptRodado, 121);
    EXPECT_EQ(Linhas("select id, v, texto from t order by id"),
              (std::vector<QStringList>{{"1", "0", ""}, {"7", "5", "a -- b"}}));
}

TEST_F(Pacotes, AStoredProcedureWithSemicolonsAndVariablesIsOneStatement) {
    Pacote(121,
           "CREATE PROCEDURE DOBRO (X INTEGER)\r\nRETURNS (Y INTEGER)\r\nAS\r\n"
           "DECLARE VARIABLE T INTEGER;\r\nBEGIN\r\n  T = :X * 2;\r\n  Y = :T;\r\n"
           "  SUSPEND;\r\nEND;;\r\n"
           "INSERT INTO T (ID, V) SELECT 1, Y FROM DOBRO(21);;\r\n");

    ASSERT_NO_FATAL_FAILURE(Executar());

    EXPECT_TRUE(janela.itbancoAtualizado);
    EXPECT_EQ(Coluna("select v from t"), QStringList{"42"});
    EXPECT_EQ(Linhas("select y from dobro(5)"), std::vector<QStringList>{{"10"}});
}

TEST_F(Pacotes, StoresTextOfEveryEncodingIntact) {
    const QString texto = "Ação é ótima: coração, pão, «aspas»";
    const QString instrucao = "insert into t (id, texto) values (%1, '" + texto + "');;";
    const QByteArray utf8 = instrucao.arg(1).toUtf8();
    QByteArray utf16("\xFF\xFE", 2);
    const QString terceira = instrucao.arg(3);
    utf16.append(reinterpret_cast<const char*>(terceira.utf16()), terceira.size() * 2);
    Pacote(121, "");
    EscreverPacote(121, "\xEF\xBB\xBF" + utf8);
    EscreverPacote(122, ToAnsi(instrucao.arg(2)));
    EscreverPacote(123, utf16);

    ASSERT_NO_FATAL_FAILURE(Executar());

    EXPECT_EQ(janela.lcScriptRodado, 123);
    EXPECT_EQ(Coluna("select texto from t order by id"), (QStringList{texto, texto, texto}));
    EXPECT_EQ(Coluna("select octet_length(texto) from t where id = 1"),
              QStringList{QString::number(texto.size())})
        << "stored in Windows-1252, one byte per character";
}

TEST_F(Pacotes, AFailingStatementStopsTheRunnerWithTheTwoErrorLines) {
    Pacote(121,
           "insert into t (id) values (1);;insert into t (id) values (2);;"
           "insert into nao_existe values (3);;insert into t (id) values (4);;");
    Pacote(122, "insert into t (id) values (5);;");

    ASSERT_NO_FATAL_FAILURE(Executar());

    const QStringList log = Log();
    ASSERT_EQ(log.size(), 4) << log.join('\n').toStdString();
    EXPECT_EQ(log.mid(0, 3), (QStringList{kTestando, "   - Executando pacote 121",
                                          "   - Instrução(insert into nao_existe values (3);)"}));
    EXPECT_TRUE(log[3].startsWith("   - Erro = ")) << log[3].toStdString();
    EXPECT_TRUE(log[3].contains("NAO_EXISTE")) << "the server's message";
    EXPECT_TRUE(log[3].endsWith(")"));
    EXPECT_FALSE(janela.itbancoAtualizado);
    EXPECT_EQ(janela.lcScriptRodado, 120);
    EXPECT_EQ(Coluna("select id from t order by id"), (QStringList{"1", "2"}))
        << "the statements before the failing one stay committed";
    EXPECT_EQ(registro.esperas, std::vector<uint32_t>{1000});
}

TEST_F(Pacotes, AnUnreadablePackageShowsTheStatementPreparedLastBeforeIt) {
    Pacote(121, "insert into t (id) values (1);;\r\n");
    Pacote(122, "insert into t (id) values (2);;");
    plataforma.aoLer = [](const QString& caminho) -> uint32_t {
        return caminho.endsWith("orvEMP0122.sql") ? winerror::kAccessDenied : 0;
    };

    ASSERT_NO_FATAL_FAILURE(Executar());

    const QStringList log = Log();
    ASSERT_EQ(log.size(), 6) << log.join('\n').toStdString();
    // The last piece of package 121 is the blank after its final ";;".
    EXPECT_EQ(log[4], "   - Instrução( ;)");
    EXPECT_EQ(log[5], "   - Erro = " + registro.SystemErrorMessage(winerror::kAccessDenied) + ")");
    EXPECT_EQ(janela.lcScriptRodado, 121);
    EXPECT_FALSE(janela.itbancoAtualizado);
}

}  // namespace
}  // namespace orvalis
