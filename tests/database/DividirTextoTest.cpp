#include "database/DividirTexto.h"
#include "tests/support/ImpressaoQt.h"

#include <gtest/gtest.h>

namespace orvalis {
namespace {

struct Caso {
    const char* nome;
    QString texto;
    QStringList pecas;
};

void PrintTo(const Caso& caso, std::ostream* saida) {
    *saida << caso.nome;
}

class DivisaoDeTexto : public ::testing::TestWithParam<Caso> {};

TEST_P(DivisaoDeTexto, GivesThePiecesInOrder) {
    QStringList lista{"what was there before"};
    DividirTexto(GetParam().texto, lista);
    EXPECT_EQ(lista, GetParam().pecas);
}

INSTANTIATE_TEST_SUITE_P(
    Separadores, DivisaoDeTexto,
    ::testing::Values(
        Caso{"Empty", "", {}},
        Caso{"NoSeparator", "select 1 from rdb$database", {"select 1 from rdb$database"}},
        Caso{"TwoStatementsEachEnded", "A;;B;;", {"A", "B"}},
        Caso{"EmptyPieceBetweenPairs", "A;;;;B", {"A", "", "B"}},
        Caso{"LeadingPair", ";;A", {"", "A"}}, Caso{"OnlyAPair", ";;", {""}},
        Caso{"ThreeSemicolons", "A;;;B", {"A", ";B"}},
        Caso{"SingleSemicolonStays", "A; B;;C", {"A; B", "C"}},
        Caso{"PiecesAreNotTrimmed", "  A ;; B  ", {"  A ", " B  "}},
        Caso{"BlankTail", "A;;\r\n", {"A", " "}}),
    [](const auto& info) { return std::string(info.param.nome); });

INSTANTIATE_TEST_SUITE_P(
    QuebrasDeLinha, DivisaoDeTexto,
    ::testing::Values(Caso{"CrLfIsABlank", "update t\r\nset v = 1\r\n;;", {"update t set v = 1 "}},
                      Caso{"LoneBreaksAreLeft", "a\rb\nc", {"a\rb\nc"}},
                      Caso{"WrittenBreakIsABlank", "a#$D#$Ab;;c#$D#$A", {"a b", "c "}},
                      Caso{"WrittenBreakInsideAString", "values ('x#$D#$Ay')", {"values ('x y')"}},
                      Caso{"HalfAWrittenBreakStays", "a#$Db#$A", {"a#$Db#$A"}},
                      Caso{"BlankLinesOnly", "\r\n\r\n  \r\n", {"     "}}),
    [](const auto& info) { return std::string(info.param.nome); });

INSTANTIATE_TEST_SUITE_P(
    Comentarios, DivisaoDeTexto,
    ::testing::Values(
        Caso{"EndsAtTheLineBreak",
             "UPDATE T SET V = 0 -- note\r\nWHERE ID = 1;;",
             {"UPDATE T SET V = 0  WHERE ID = 1"}},
        Caso{"EndsAtTheEndOfThePiece", "select 1 from t -- the end", {"select 1 from t "}},
        Caso{"APairInsideACommentStillSeparates", "A -- x;;B", {"A ", "B"}},
        Caso{"EndsAtAWrittenBreak", "A -- x#$D#$AB", {"A  B"}},
        Caso{"EndsAtALoneLineFeed", "A -- x\nB", {"A \nB"}},
        Caso{"WholeLine", "-- header\r\ninsert into t values (1)", {" insert into t values (1)"}},
        Caso{"InsideAStringIsText",
             "insert into t values ('-- não é comentário')",
             {"insert into t values ('-- não é comentário')"}},
        Caso{"InsideAStringWithDoubledQuotes",
             "values ('it''s -- here') -- gone",
             {"values ('it''s -- here') "}},
        Caso{"InsideAQuotedName", "select \"A--B\" from t", {"select \"A--B\" from t"}},
        Caso{"InsideABlockComment",
             "/* -- kept */ select 1\r\nfrom t",
             {"/* -- kept */ select 1 from t"}},
        Caso{"AfterABlockComment", "/* a */ -- b\r\nc", {"/* a */  c"}},
        Caso{"ASingleDashIsNotAComment", "select 2 - -1 from t", {"select 2 - -1 from t"}},
        Caso{"EachPieceStartsOutsideQuotes", "select 'a;;b' -- x", {"select 'a", "b' -- x"}}),
    [](const auto& info) { return std::string(info.param.nome); });

}  // namespace
}  // namespace orvalis
