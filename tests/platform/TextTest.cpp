#include "platform/Ansi.h"
#include "platform/CommandLineText.h"

#include <gtest/gtest.h>

namespace orvalis {
namespace {

TEST(Ansi, ConvertsToAndFromWindows1252) {
    struct Row {
        QString text;
        QByteArray ansi;
    };
    const Row rows[] = {
        {QStringLiteral("Atualização concluída"), QByteArray("Atualiza\xE7\xE3o conclu\xED"
                                                             "da")},
        {QStringLiteral("€ – “aspas” ‰"), QByteArray("\x80 \x96 \x93"
                                                     "aspas\x94 \x89")},
        {QStringLiteral("ÇÃÕÉ§ªº"), QByteArray("\xC7\xC3\xD5\xC9\xA7\xAA\xBA")},
        {QStringLiteral("ascii ~!@#"), QByteArray("ascii ~!@#")},
        {QString(), QByteArray()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.toStdString());
        EXPECT_EQ(ToAnsi(row.text), row.ansi);
        EXPECT_EQ(FromAnsi(row.ansi), row.text);
    }
    // Characters outside the code page become '?'.
    EXPECT_EQ(ToAnsi(QStringLiteral("Ωx中")), QByteArray("?x?"));
    EXPECT_EQ(ToAnsi(QString::fromUtf8("\xF0\x9F\x98\x80")), QByteArray("?"));
    // Every defined byte comes back as it went.
    QByteArray bytes;
    for (int b = 1; b < 256; ++b) {
        if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D)
            bytes.append(static_cast<char>(b));
    }
    EXPECT_EQ(ToAnsi(FromAnsi(bytes)), bytes);
}

TEST(Ansi, Utf8RoundTrips) {
    const QString text = QStringLiteral("Versão 2.8 – ação ✓ \U0001F600");
    const std::string utf8 = ToUtf8(text);
    EXPECT_EQ(utf8,
              "Vers\xC3\xA3o 2.8 \xE2\x80\x93 a\xC3\xA7\xC3\xA3o \xE2\x9C\x93 \xF0\x9F\x98\x80");
    EXPECT_EQ(FromUtf8(utf8), text);
    EXPECT_EQ(FromUtf8(std::string("a\0b", 3)).size(), 3);
}

TEST(CommandLineText, SplitsByTheWindowsRule) {
    struct Row {
        const char* text;
        QStringList arguments;
    };
    const Row rows[] = {
        {"", {}},
        {"   ", {}},
        {"um dois", {"um", "dois"}},
        {"  um\t\tdois  ", {"um", "dois"}},
        {" e -o- -inul \"C:\\orvalis Empresa\\tmp\\pacote.rar\" \"C:\\orvalis Empresa\\\"",
         {"e", "-o-", "-inul", "C:\\orvalis Empresa\\tmp\\pacote.rar", "C:\\orvalis Empresa\\"}},
        {"@MC:\\orvalis\"§\"Empresa a\"b c\"d", {"@MC:\\orvalis§Empresa", "ab cd"}},
        {"\"\" x", {"", "x"}},
        {"\"aberta até o fim", {"aberta até o fim"}},
        {"um\ndois\x01tres", {"um", "dois", "tres"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(CommandLineText::Split(QString::fromUtf8(row.text)), row.arguments);
    }
}

TEST(CommandLineText, JoinQuotesWhatSplitWouldCut) {
    const QStringList arguments = {"C:\\orvalis Empresa\\orvalisAtualizador.exe", "@F2", "", "a\tb",
                                   "@Ec:\\x"};
    const QString text = CommandLineText::Join(arguments);
    EXPECT_EQ(text,
              QStringLiteral(
                  "\"C:\\orvalis Empresa\\orvalisAtualizador.exe\" @F2 \"\" \"a\tb\" @Ec:\\x"));
    EXPECT_EQ(CommandLineText::Split(text), arguments);
}

}  // namespace
}  // namespace orvalis
