// The texts of the report body: the template, the appended blocks and the line breaks.
// Texts with accents are compared as UTF-8 or as QString on both sides: Qt 6.4 compares
// a QString with a non-ASCII const char* wrongly.
#include "net/CorpoEmail.h"
#include "net/Endpoints.h"

#include <gtest/gtest.h>

namespace orvalis {
namespace {

QString Modelo(const QString& modulos = QStringLiteral("ACE")) {
    return MontarCorpoEmail(QStringLiteral("Empresa"), QStringLiteral("CNPJ"),
                            QStringLiteral("Contato"), QStringLiteral("Fone"),
                            QStringLiteral("e@x.test"), QStringLiteral("Usuário"),
                            QStringLiteral("orvalis Atualizador - Versão 2.8"), modulos,
                            QStringLiteral("2.7"), QStringLiteral("2.8"));
}

TEST(ModeloCorpoEmail, HasItsTwentyOneLinesSeparatedBySingleCarriageReturns) {
    const QString corpo = Modelo();
    EXPECT_FALSE(corpo.contains(u'\n'));
    EXPECT_FALSE(corpo.endsWith(u'\r'));
    const QStringList linhas = corpo.split(u'\r');
    const QStringList esperadas = {
        " Prezado Cliente,",
        "",
        " Este e-mail foi gerado automaticamente pelo aplicativo orvalis Atualizador.",
        " Clique no link abaixo para consultar o conteúdo das últimas atualizações:",
        " " + Endpoints::Atuais().urlNotas + "/search/label/Atualiza%C3%A7%C3%A3o",
        " Verifique abaixo os detalhes da atualização do sistema feitas em seu servidor." +
            QString(23, u' '),
        "",
        " INFORMAÇÕES DO CLIENTE:" + QString(78, u' '),
        " Cliente: Empresa",
        " CNPJ: CNPJ",
        " Pessoa: Contato",
        " Telefone: Fone",
        " E-mail: e@x.test",
        " Usuário Logado: Usuário",
        "",
        " INFORMAÇÕES DO SISTEMA:" + QString(26, u' '),
        " orvalis Atualizador - Versão 2.8",
        " Sistema: orvalis Empresa ",
        "Módulos: ACE",
        "Versão Anterior: 2.7",
        "Nova Versão: 2.8",
    };
    ASSERT_EQ(linhas.size(), 21);
    for (qsizetype i = 0; i < linhas.size(); ++i) {
        EXPECT_EQ(linhas[i], esperadas[i]) << "line " << i + 1;
    }
    EXPECT_EQ(linhas[5].size(), 102);
    EXPECT_EQ(linhas[7].size(), 102);
    EXPECT_EQ(linhas[15].size(), 50);
}

TEST(ModeloCorpoEmail, KeepsTheBlankAfterEmptyModuleLetters) {
    EXPECT_TRUE(Modelo(QString()).contains(QStringLiteral("\rMódulos: \rVersão Anterior")));
}

TEST(BlocosAnexados, AppendTheLogWithItsLineEndsAndTheOutcome) {
    const QStringList log = {"10/12/2026 14:30:05 A", "10/12/2026 14:30:05   - B"};
    EXPECT_EQ(BlocosAnexados(log, false).toStdString(),
              "\r\rLOG DE EXECUÇÃO:\r10/12/2026 14:30:05 A\r\n10/12/2026 14:30:05   - B\r\n\r"
              " ATUALIZAÇÃO CONCLUÍDA COM SUCESSO:\r"
              "   - O seu banco de dados foi atualizado.\r"
              "   - A nova versão do sistema está disponível no seu servidor.\r"
              "   - Obrigado por manter seu sistema sempre atualizado.\r"
              "   - O sistema já está liberado para o uso.");
    EXPECT_EQ(BlocosAnexados({}, true).toStdString(),
              "\r\rLOG DE EXECUÇÃO:\r\r"
              " FALHA NA ATUALIZAÇÃO DO SISTEMA:\r"
              "   - O seu sistema e banco de dados não foram atualizados.\r"
              "   - Entre em contato com o suporte técnico da orvalis.\r"
              "   - A versão anterior, sem alterações, continua disponível para o uso.");
}

TEST(BlocosAnexados, MakeTheBodyReadAsTheReportDoes) {
    const QStringList linhas = LinhasCorpo(Modelo() + BlocosAnexados({"L1", "L2"}, false));
    ASSERT_EQ(linhas.size(), 21 + 1 + 1 + 2 + 1 + 5);
    EXPECT_EQ(linhas[20], QStringLiteral("Nova Versão: 2.8"));
    EXPECT_EQ(linhas.mid(21, 5), QStringList({"", "LOG DE EXECUÇÃO:", "L1", "L2", ""}));
    EXPECT_EQ(linhas[26].toStdString(), " ATUALIZAÇÃO CONCLUÍDA COM SUCESSO:");
}

struct CasoLinhas {
    const char* texto;
    QStringList linhas;
};

TEST(LinhasCorpo, BreakAtCrLfAndCrLfPairs) {
    const CasoLinhas casos[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\rb", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\r\nb", {"a", "b"}},
        {"a\n\rb", {"a", "", "b"}},
        {"a\r\rb", {"a", "", "b"}},
        {"a\r\n", {"a"}},
        {"\r\rX", {"", "", "X"}},
        {"a\r\n\rb", {"a", "", "b"}},
    };
    for (const CasoLinhas& caso : casos) {
        SCOPED_TRACE(QString::fromUtf8(caso.texto).toUtf8().toPercentEncoding().toStdString());
        EXPECT_EQ(LinhasCorpo(QString::fromUtf8(caso.texto)), caso.linhas);
    }
}

}  // namespace
}  // namespace orvalis
