#include "platform/DriveMap.h"
#include "platform/Platform.h"

#include "TempDrives.h"

#include <gtest/gtest.h>

#include <random>

namespace orvalis {
namespace {

using test::TempDrives;

class DriveMapTest : public testing::Test {
  protected:
    void SetUp() override {
        drives_.WriteNative("c/Orvalis Empresa/Dados/Rivelobase.fdb", "db");
        drives_.MakeFolder("c/Orvalis Empresa/Atualizador");
        drives_.MakeFolder("c/Caso");
        drives_.MakeFolder("c/caso");
        drives_.WriteNative("dados/Sub/Arquivo.TXT", "x");
    }

    TempDrives drives_;
    DriveMap map_{drives_.Mapping()};
};

struct TranslationRow {
    const char* path;
    const char* currentDirectory;
    uint32_t code;
    const char* native;  // below the temporary root; a leading "/" means absolute
};

TEST_F(DriveMapTest, TranslatesPathsAndFindsExistingNamesWithoutRegardToCase) {
    const TranslationRow rows[] = {
        {"C:\\orvalis empresa\\DADOS\\rivelobase.FDB", "", 0,
         "c/Orvalis Empresa/Dados/Rivelobase.fdb"},
        {"c:/ORVALIS EMPRESA/dados/Novo.txt", "", 0, "c/Orvalis Empresa/Dados/Novo.txt"},
        {"C:\\orvalis empresa\\Nova Pasta\\Sub\\X.txt", "", 0,
         "c/Orvalis Empresa/Nova Pasta/Sub/X.txt"},
        {"C:", "", 0, "c"},
        {"C:\\", "", 0, "c"},
        {"c:orvalis empresa\\atualizador", "", 0, "c/Orvalis Empresa/Atualizador"},
        {"C:\\\\Orvalis Empresa\\\\Dados\\", "", 0, "c/Orvalis Empresa/Dados"},
        {"C:\\x\\..\\..\\..\\orvalis empresa\\.\\dados", "", 0, "c/Orvalis Empresa/Dados"},
        {"C:\\Orvalis Empresa\\Dados. \\rivelobase.fdb. ", "", 0,
         "c/Orvalis Empresa/Dados/Rivelobase.fdb"},
        {"S:\\qualquer", "", 0, "s/qualquer"},
        {"\\\\servidor\\dados\\sub\\arquivo.txt", "", 0, "dados/Sub/Arquivo.TXT"},
        {"\\\\SERVIDOR\\DADOS", "", 0, "dados"},
        {"//servidor/dados/SUB", "", 0, "dados/Sub"},
        {"Dados\\rivelobase.fdb", "C:\\Orvalis Empresa", 0,
         "c/Orvalis Empresa/Dados/Rivelobase.fdb"},
        {"..\\Atualizador", "C:\\Orvalis Empresa\\Dados", 0, "c/Orvalis Empresa/Atualizador"},
        {".", "C:\\Orvalis Empresa", 0, "c/Orvalis Empresa"},
        {"\\Orvalis Empresa", "c:\\caso", 0, "c/Orvalis Empresa"},
        {"\\sub", "\\\\servidor\\dados\\Sub", 0, "dados/Sub"},
        {"arquivo.txt", "\\\\servidor\\dados\\sub", 0, "dados/Sub/Arquivo.TXT"},
        {"Z:\\etc", "", 0, "/etc"},
        {"z:\\", "", 0, "/"},
        // Both spellings exist: the exact one wins, else the first by bytes.
        {"C:\\caso", "", 0, "c/caso"},
        {"C:\\Caso", "", 0, "c/Caso"},
        {"C:\\CASO", "", 0, "c/Caso"},
        // Bad input.
        {"", "", winerror::kPathNotFound, nullptr},
        {"Q:\\x", "", winerror::kPathNotFound, nullptr},
        {"\\\\outro\\dados\\x", "", winerror::kPathNotFound, nullptr},
        {"\\\\servidor", "", winerror::kPathNotFound, nullptr},
        {"\\\\servidor\\", "", winerror::kPathNotFound, nullptr},
        {"relativo.txt", "", winerror::kPathNotFound, nullptr},
        {"relativo.txt", "Dados", winerror::kPathNotFound, nullptr},
        {"\\raiz", "", winerror::kPathNotFound, nullptr},
        {"C:\\a<b", "", winerror::kInvalidName, nullptr},
        {"C:\\a>b", "", winerror::kInvalidName, nullptr},
        {"C:\\a\"b", "", winerror::kInvalidName, nullptr},
        {"C:\\a|b", "", winerror::kInvalidName, nullptr},
        {"C:\\a?b", "", winerror::kInvalidName, nullptr},
        {"C:\\*.txt", "", winerror::kInvalidName, nullptr},
        {"C:\\a:b", "", winerror::kInvalidName, nullptr},
        {"C:\\a\tb", "", winerror::kInvalidName, nullptr},
        {"1:\\x", "C:\\", winerror::kInvalidName, nullptr},
        {"\\\\servi?or\\dados", "", winerror::kInvalidName, nullptr},
    };
    for (const TranslationRow& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "path \"" << row.path << "\" in \"" << row.currentDirectory << "\"");
        std::string native = "untouched";
        const uint32_t code = map_.ToNative(QString::fromUtf8(row.path),
                                            QString::fromUtf8(row.currentDirectory), &native);
        EXPECT_EQ(code, row.code);
        if (row.native == nullptr) {
            EXPECT_EQ(native, "untouched");
        } else if (row.native[0] == '/') {
            EXPECT_EQ(native, row.native);
        } else {
            EXPECT_EQ(native, drives_.Native(row.native));
        }
    }
}

TEST_F(DriveMapTest, LimitsNameAndPathLength) {
    struct Row {
        QString path;
        uint32_t code;
    };
    const QString name255(255, u'n');
    // "C:\" + 200 characters + "\" + the rest.
    auto fullPath = [](qsizetype length) {
        return QStringLiteral("C:\\") + QString(200, u'p') + u'\\' + QString(length - 204, u'm');
    };
    const Row rows[] = {
        {QStringLiteral("C:\\") + name255, winerror::kSuccess},
        {QStringLiteral("C:\\") + name255 + u'n', winerror::kFilenameTooLong},
        {QStringLiteral("\\\\servidor\\dados\\") + QString(256, u'x'), winerror::kFilenameTooLong},
        {fullPath(259), winerror::kSuccess},
        {fullPath(260), winerror::kFilenameTooLong},
        // The limit is on the resolved path: ".." shortens it.
        {fullPath(259) + QStringLiteral("\\..\\..\\x"), winerror::kSuccess},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "length " << row.path.size());
        std::string native;
        EXPECT_EQ(map_.ToNative(row.path, QString(), &native), row.code);
    }
}

TEST_F(DriveMapTest, ReverseMappingTakesTheLongestFolderOnAComponentBoundary) {
    const std::string root = drives_.Root();
    const DriveMap nested(QString::fromStdString("C=" + root + "/c;S=" + root +
                                                 "/c/Orvalis Empresa/;D=" + root +
                                                 "/c;\\\\servidor\\dados=" + root + "/dados"));
    struct Row {
        std::string native;
        const char* windows;  // root replaced by "<root>" for Z: paths
    };
    const Row rows[] = {
        {root + "/c", "C:\\"},
        {root + "/c/", "C:\\"},
        {root + "/c/Atualizador/x.exe", "C:\\Atualizador\\x.exe"},
        {root + "/c/Orvalis Empresa", "S:\\"},
        {root + "/c/Orvalis Empresa/Dados/Rivelobase.fdb", "S:\\Dados\\Rivelobase.fdb"},
        {root + "/c/Orvalis Empresa Velha", "C:\\Orvalis Empresa Velha"},
        {root + "/c/./Orvalis Empresa/../Atualizador", "C:\\Atualizador"},
        {root + "//c///x", "C:\\x"},
        {root + "/dados/Sub", "\\\\servidor\\dados\\Sub"},
        {root + "/cx", "Z:<root>\\cx"},
        {"/etc/hosts", "Z:\\etc\\hosts"},
        {"/", "Z:\\"},
        {"relativo/x", ""},
        {"", ""},
    };
    QString windowsRoot = QString::fromStdString(root);
    windowsRoot.replace(u'/', u'\\');
    for (const Row& row : rows) {
        SCOPED_TRACE(row.native);
        QString expected = QString::fromUtf8(row.windows);
        expected.replace(QStringLiteral("<root>"), windowsRoot);
        EXPECT_EQ(nested.ToWindows(row.native), expected);
    }

    const DriveMap zElsewhere(QString::fromStdString("Z=" + root + "/s"));
    EXPECT_EQ(zElsewhere.ToWindows("/etc"), QString());
    EXPECT_EQ(zElsewhere.ToWindows(root + "/s/a"), QStringLiteral("Z:\\a"));
}

TEST_F(DriveMapTest, ReverseMappingTurnsBackIntoTheSameFolder) {
    for (const std::string relative :
         {"c", "c/Orvalis Empresa/Dados/Rivelobase.fdb", "dados/Sub", "s"}) {
        const std::string native = drives_.Native(relative);
        const QString windows = map_.ToWindows(native);
        SCOPED_TRACE(windows.toStdString());
        std::string back;
        ASSERT_EQ(map_.ToNative(windows, QString(), &back), winerror::kSuccess);
        EXPECT_EQ(back, native);
    }
}

TEST(DriveMapParsing, IgnoresMalformedEntriesAndLetsALaterEntryWin) {
    const DriveMap map(
        QStringLiteral(" c: = /srv/um ;;sem-igual;=/x;Q=relativo;C=/srv/dois;"
                       "\\\\so-servidor=/srv/x;//Host/Share/=/srv/share/"));
    struct Row {
        const char* path;
        uint32_t code;
        const char* native;
    };
    const Row rows[] = {
        {"C:\\a", 0, "/srv/dois/a"},
        {"Q:\\a", winerror::kPathNotFound, nullptr},
        {"\\\\host\\share\\a", 0, "/srv/share/a"},
        {"\\\\so-servidor\\a", winerror::kPathNotFound, nullptr},
        {"Z:\\srv", 0, "/srv"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        std::string native;
        EXPECT_EQ(map.ToNative(QString::fromUtf8(row.path), QString(), &native), row.code);
        if (row.native != nullptr) {
            EXPECT_EQ(native, row.native);
        }
    }
}

// Whatever text arrives, the translation answers with one of its codes.
TEST_F(DriveMapTest, NeverFailsOnArbitraryText) {
    const QString alphabet = QStringLiteral("Cc:zZ\\/..  aéÇ*?<>|\"\t\x01~\\\\servidordados");
    std::mt19937 random(20240229);
    for (int i = 0; i < 3000; ++i) {
        QString path;
        const int length = static_cast<int>(random() % 40);
        for (int j = 0; j < length; ++j)
            path += alphabet[static_cast<qsizetype>(random() % alphabet.size())];
        if (i % 50 == 0) path += QString(static_cast<qsizetype>(random() % 400), u'x');
        std::string native;
        const uint32_t code = map_.ToNative(path, QStringLiteral("C:\\Orvalis Empresa"), &native);
        EXPECT_TRUE(code == winerror::kSuccess || code == winerror::kPathNotFound ||
                    code == winerror::kInvalidName || code == winerror::kFilenameTooLong)
            << code << " for " << path.toStdString();
        map_.ToWindows(path.toStdString());
    }
}

}  // namespace
}  // namespace orvalis
