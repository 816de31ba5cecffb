#include "app/Erros.h"
#include "database/PacoteSql.h"
#include "tests/support/InstalacaoTemporaria.h"

#include <gtest/gtest.h>

namespace orvalis {
namespace {

using teste::InstalacaoTemporaria;

TEST(PacoteSql, IsNamedByItsNumberWithAtLeastFourDigits) {
    const QString mestre = "C:\\orvalis Empresa\\Atualizador";
    EXPECT_EQ(CaminhoPacote(mestre, 62), mestre + "\\tmp\\orvEMP0062.sql");
    EXPECT_EQ(CaminhoPacote(mestre, 121), mestre + "\\tmp\\orvEMP0121.sql");
    EXPECT_EQ(CaminhoPacote(mestre, 10000), mestre + "\\tmp\\orvEMP10000.sql");
}

TEST(PacoteSql, IsDecodedByItsByteOrderMarkOrAsWindows1252WithCrLfBreaks) {
    struct Caso {
        const char* nome;
        QByteArray bytes;
        QString texto;
    };
    const Caso casos[] = {
        {"Windows-1252", "insert 'A\xE7\xE3o'\r\nx", "insert 'Ação'\r\nx"},
        {"UTF-8", "\xEF\xBB\xBFinsert 'A\xC3\xA7\xC3\xA3o'", "insert 'Ação'"},
        {"UTF-16 LE",
         QByteArray("\xFF\xFE"
                    "A\0\xE7\0\n\0",
                    8),
         "Aç\r\n"},
        {"UTF-16 BE",
         QByteArray("\xFE\xFF"
                    "\0A\0\xE7\0\r",
                    8),
         "Aç\r\n"},
        {"lone CR and LF", "a\rb\nc\r\n\r\nd", "a\r\nb\r\nc\r\n\r\nd"},
        {"empty", "", ""},
    };
    InstalacaoTemporaria instalacao;
    const QString arquivo = InstalacaoTemporaria::kPastaMestre + "\\pacote.sql";
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.nome);
        instalacao.Escrever(arquivo, caso.bytes);
        EXPECT_EQ(LerPacote(instalacao.plataforma(), arquivo), caso.texto);
    }
}

TEST(PacoteSql, AnUnreadableFileRaisesTheSystemsMessage) {
    InstalacaoTemporaria instalacao;
    EXPECT_THROW(LerPacote(instalacao.plataforma(), InstalacaoTemporaria::kPastaMestre + "\\x.sql"),
                 ErroOrvalis);
}

}  // namespace
}  // namespace orvalis
