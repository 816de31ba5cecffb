#include "platform/PosixPlatform.h"
#include "platform/Wildcard.h"

#include "TempDrives.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace orvalis {
namespace {

using test::TempDrives;

TEST(Wildcard, MatchesNamesAsFindFirstFileDoes) {
    struct Row {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Row rows[] = {
        {"*", "qualquer.coisa", true},
        {"*", ".", true},
        {"*", "..", true},
        {"*.*", "semponto", true},
        {"*.*", "a.b.c", true},
        {"*.*", ".", true},
        {"*.*", "..", true},
        {"*.*", ".oculto", true},
        {"*.exe", "ORVALISEMPRESA.EXE", true},
        {"*.EXE", "a.exe", true},
        {"*.exe", "a.exe.bak", false},
        {"*.exe", "exe", false},
        {"*.exe", ".exe", true},
        {"*.exe", "a.b.exe", true},
        {"*.ex", "a.exe", false},
        {"orvEMP????.sql", "orvemp0121.SQL", true},
        {"orvEMP????.sql", "orvEMP121.sql", true},  // a '?' before the dot may match nothing
        {"orvEMP????.sql", "orvEMP01211.sql", false},
        {"?", "a", true},
        {"?", ".", false},
        {"?", "ab", false},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"*.", "semponto", true},
        {"*.", "com.ponto", false},
        {"abc.", "abc", true},
        {"a*b*c", "aXXbYYc", true},
        {"a*b*c", "aXXbYY", false},
        {"Rivelobase.fdb", "RIVELOBASE.FDB", true},
        {"Rivelobase.fdb", "Rivelobase.fdb.bak", false},
        {"AÇÃO*", "ação.txt", true},
        {"*****************************x",
         "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaay", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.pattern << " ~ " << row.name);
        EXPECT_EQ(Wildcard(QString::fromUtf8(row.pattern)).Matches(QString::fromUtf8(row.name)),
                  row.matches);
    }
}

class ListDirectoryTest : public testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"A.TXT", "b.txt", "semponto", ".oculto", "x.tar.gz", "a.exe"}) {
            drives_.WriteNative(std::string("c/Lista/") + name, "x");
        }
        drives_.MakeFolder("c/Lista/Sub");
        drives_.WriteNative("c/Lista/Sub/dentro.txt", "x");
    }

    TempDrives drives_;
    PosixPlatform platform_{drives_.Mapping()};
};

TEST_F(ListDirectoryTest, ListsMatchingNamesAsTheFileSystemSpellsThem) {
    struct Row {
        const char* pattern;
        std::vector<QString> names;
    };
    const std::vector<QString> all = {".",     "..",       ".oculto", "a.exe",   "A.TXT",
                                      "b.txt", "semponto", "Sub",     "x.tar.gz"};
    const Row rows[] = {
        {"C:\\Lista\\*", all},
        {"c:\\LISTA\\*.*", all},
        {"C:/lista/*.*", all},
        {"C:\\Lista\\*.txt", {"A.TXT", "b.txt"}},
        {"C:\\Lista\\?.TXT", {"A.TXT", "b.txt"}},
        {"C:\\Lista\\a*", {"a.exe", "A.TXT"}},
        {"C:\\Lista\\*.", {".", "..", "semponto", "Sub"}},
        {"C:\\Lista\\*.gz", {"x.tar.gz"}},
        {"C:\\Lista\\SUB", {"Sub"}},
        {"C:\\Lista\\a.txt", {"A.TXT"}},
        {"C:\\Lista\\*.tar", {}},
        {"C:\\Lista\\nada*", {}},
        {"C:\\Lista\\Sub\\*.txt", {"dentro.txt"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pattern);
        std::vector<DirEntry> entries = {{"antes", false}};
        platform_.SetLastError(9999);
        EXPECT_TRUE(platform_.ListDirectory(QString::fromUtf8(row.pattern), &entries));
        EXPECT_EQ(platform_.LastError(), winerror::kSuccess);
        std::vector<QString> names;
        for (const DirEntry& entry : entries) names.push_back(entry.name);
        EXPECT_EQ(names, row.names);
    }
}

TEST_F(ListDirectoryTest, MarksFoldersAmongTheEntries) {
    std::vector<DirEntry> entries;
    ASSERT_TRUE(platform_.ListDirectory("C:\\Lista\\*", &entries));
    for (const DirEntry& entry : entries) {
        SCOPED_TRACE(entry.name.toStdString());
        const bool folder = entry.name == "." || entry.name == ".." || entry.name == "Sub";
        EXPECT_EQ(entry.directory, folder);
    }
}

TEST_F(ListDirectoryTest, FailsForAMissingFolderOrABadPattern) {
    struct Row {
        const char* pattern;
        uint32_t error;
    };
    const Row rows[] = {
        {"C:\\Falta\\*", winerror::kPathNotFound},
        {"C:\\Lista\\a.exe\\*", winerror::kPathNotFound},
        {"Q:\\*", winerror::kPathNotFound},
        {"", winerror::kPathNotFound},
        {"C:\\Lista\\", winerror::kFileNotFound},
        {"C:\\Lista\\a<b", winerror::kInvalidName},
        {"C:\\Lista\\a|*", winerror::kInvalidName},
        {"C:\\Li?ta\\*", winerror::kInvalidName},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pattern);
        std::vector<DirEntry> entries = {{"antes", false}};
        EXPECT_FALSE(platform_.ListDirectory(QString::fromUtf8(row.pattern), &entries));
        EXPECT_EQ(platform_.LastError(), row.error);
        EXPECT_TRUE(entries.empty());
    }
}

// Relative patterns and a leading "\" start from the current folder.
TEST_F(ListDirectoryTest, RelativePatternsStartFromTheCurrentFolder) {
    char* saved = getcwd(nullptr, 0);
    ASSERT_NE(saved, nullptr);
    ASSERT_EQ(chdir(drives_.Native("c/Lista/Sub").c_str()), 0);
    EXPECT_EQ(platform_.CurrentDirectory(), QStringLiteral("C:\\Lista\\Sub"));
    struct Row {
        const char* pattern;
        std::vector<QString> names;
    };
    const Row rows[] = {
        {"*.txt", {"dentro.txt"}},       {"..\\*.exe", {"a.exe"}},
        {"\\lista\\*.gz", {"x.tar.gz"}}, {"\\*", {".", "..", "Lista"}},
        {"C:*", {".", "..", "Lista"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pattern);
        std::vector<DirEntry> entries;
        EXPECT_TRUE(platform_.ListDirectory(QString::fromUtf8(row.pattern), &entries));
        std::vector<QString> names;
        for (const DirEntry& entry : entries) names.push_back(entry.name);
        EXPECT_EQ(names, row.names);
    }
    std::string native;
    EXPECT_TRUE(platform_.NativePath("dentro.TXT", &native));
    EXPECT_EQ(native, drives_.Native("c/Lista/Sub/dentro.txt"));
    EXPECT_EQ(chdir(saved), 0);
    std::free(saved);
}

}  // namespace
}  // namespace orvalis
