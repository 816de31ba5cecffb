#include "platform/PosixPlatform.h"
#include "platform/WindowsErrors.h"

#include "TempDrives.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <functional>
#include <utility>
#include <vector>

namespace orvalis {
namespace {

using test::TempDrives;

// C:\Fonte.txt, C:\Pasta\Arquivo.txt, C:\Vazia\ and S:\ on temporary folders.
class FileCallsTest : public testing::Test {
  protected:
    void SetUp() override {
        drives_.WriteNative("c/Fonte.txt", "fonte");
        drives_.WriteNative("c/Pasta/Arquivo.txt", "antigo");
        drives_.MakeFolder("c/Vazia");
    }

    std::vector<QString> Names(const QString& pattern) {
        std::vector<DirEntry> entries;
        EXPECT_TRUE(platform_.ListDirectory(pattern, &entries));
        std::vector<QString> names;
        for (const DirEntry& entry : entries) names.push_back(entry.name);
        return names;
    }

    TempDrives drives_;
    PosixPlatform platform_{drives_.Mapping()};
};

struct CallRow {
    const char* name;
    std::function<bool(Platform&)> call;
    bool result;
    uint32_t error;
    // Checked after the call: the native state it must leave (paths below the root).
    std::function<void(const TempDrives&)> after;
};

void Unchanged(const TempDrives& drives) {
    EXPECT_EQ(drives.ReadNative("c/Fonte.txt"), "fonte");
    EXPECT_EQ(drives.ReadNative("c/Pasta/Arquivo.txt"), "antigo");
}

TEST_F(FileCallsTest, EachCallSucceedsOrFailsWithItsWindowsCode) {
    using namespace winerror;
    const QString f = QStringLiteral("C:\\Fonte.txt");
    const CallRow rows[] = {
        {"copy to a new name", [&](Platform& p) { return p.CopyFile(f, "C:\\pasta\\Nova.txt"); },
         true, kSuccess,
         [](const TempDrives& d) { EXPECT_EQ(d.ReadNative("c/Pasta/Nova.txt"), "fonte"); }},
        {"copy over a file in another case",
         [&](Platform& p) { return p.CopyFile("c:\\FONTE.TXT", "C:\\PASTA\\arquivo.TXT"); }, true,
         kSuccess,
         [](const TempDrives& d) {
             EXPECT_EQ(d.ReadNative("c/Pasta/Arquivo.txt"), "fonte");
             EXPECT_FALSE(d.ExistsNative("c/Pasta/arquivo.TXT"));
         }},
        {"copy of a missing file",
         [](Platform& p) { return p.CopyFile("C:\\Falta.txt", "C:\\Nova.txt"); }, false,
         kFileNotFound, Unchanged},
        {"copy from a missing folder",
         [](Platform& p) { return p.CopyFile("C:\\Falta\\x.txt", "C:\\Nova.txt"); }, false,
         kPathNotFound, Unchanged},
        {"copy into a missing folder",
         [&](Platform& p) { return p.CopyFile(f, "C:\\Falta\\Nova.txt"); }, false, kPathNotFound,
         [](const TempDrives& d) { EXPECT_FALSE(d.ExistsNative("c/Falta")); }},
        {"copy of a folder", [](Platform& p) { return p.CopyFile("C:\\Pasta", "C:\\Nova"); }, false,
         kAccessDenied, Unchanged},
        {"copy over a folder", [&](Platform& p) { return p.CopyFile(f, "C:\\Vazia"); }, false,
         kAccessDenied, Unchanged},
        {"copy onto itself", [&](Platform& p) { return p.CopyFile(f, "c:\\fonte.txt"); }, false,
         kSharingViolation, Unchanged},
        {"copy from an unmapped drive",
         [](Platform& p) { return p.CopyFile("Q:\\x", "C:\\Nova.txt"); }, false, kPathNotFound,
         Unchanged},
        {"copy to an invalid name", [&](Platform& p) { return p.CopyFile(f, "C:\\a?b"); }, false,
         kInvalidName, Unchanged},
        {"copy through a file used as a folder",
         [&](Platform& p) { return p.CopyFile(f, "C:\\Fonte.txt\\x"); }, false, kPathNotFound,
         Unchanged},

        {"move to a new name", [&](Platform& p) { return p.MoveFile(f, "C:\\Pasta\\Movido.txt"); },
         true, kSuccess,
         [](const TempDrives& d) {
             EXPECT_FALSE(d.ExistsNative("c/Fonte.txt"));
             EXPECT_EQ(d.ReadNative("c/Pasta/Movido.txt"), "fonte");
         }},
        {"move to another drive", [&](Platform& p) { return p.MoveFile(f, "S:\\Movido.txt"); },
         true, kSuccess,
         [](const TempDrives& d) { EXPECT_EQ(d.ReadNative("s/Movido.txt"), "fonte"); }},
        {"move of a folder",
         [](Platform& p) { return p.MoveFile("C:\\vazia", "C:\\Pasta\\Vazia2"); }, true, kSuccess,
         [](const TempDrives& d) { EXPECT_TRUE(d.ExistsNative("c/Pasta/Vazia2")); }},
        {"move onto an existing name in another case",
         [&](Platform& p) { return p.MoveFile(f, "C:\\PASTA\\ARQUIVO.TXT"); }, false,
         kAlreadyExists, Unchanged},
        {"move onto a folder", [&](Platform& p) { return p.MoveFile(f, "C:\\Vazia"); }, false,
         kAlreadyExists, Unchanged},
        {"move of a missing file",
         [](Platform& p) { return p.MoveFile("C:\\Falta.txt", "C:\\Nova.txt"); }, false,
         kFileNotFound, Unchanged},
        {"move from a missing folder",
         [](Platform& p) { return p.MoveFile("C:\\Falta\\x.txt", "C:\\Nova.txt"); }, false,
         kPathNotFound, Unchanged},
        {"move into a missing folder",
         [&](Platform& p) { return p.MoveFile(f, "C:\\Falta\\Nova.txt"); }, false, kPathNotFound,
         Unchanged},
        {"move with the write going through",
         [&](Platform& p) { return p.MoveFile(f, "C:\\Pasta\\Movido.txt", true); }, true, kSuccess,
         [](const TempDrives& d) { EXPECT_EQ(d.ReadNative("c/Pasta/Movido.txt"), "fonte"); }},
        {"move that changes only the letter case",
         [&](Platform& p) { return p.MoveFile(f, "C:\\FONTE.txt"); }, true, kSuccess,
         [](const TempDrives& d) {
             EXPECT_EQ(d.ReadNative("c/FONTE.txt"), "fonte");
             EXPECT_FALSE(d.ExistsNative("c/Fonte.txt"));
         }},

        {"replace an existing file",
         [&](Platform& p) { return p.ReplaceFile(f, "C:\\pasta\\arquivo.txt"); }, true, kSuccess,
         [](const TempDrives& d) {
             EXPECT_EQ(d.ReadNative("c/Pasta/Arquivo.txt"), "fonte");
             EXPECT_FALSE(d.ExistsNative("c/Fonte.txt"));
         }},
        {"replace with a missing file",
         [](Platform& p) { return p.ReplaceFile("C:\\Falta.txt", "C:\\Pasta\\Arquivo.txt"); },
         false, kFileNotFound, Unchanged},
        {"replace a folder", [&](Platform& p) { return p.ReplaceFile(f, "C:\\Vazia"); }, false,
         kAccessDenied, Unchanged},
        {"replace into a missing folder",
         [&](Platform& p) { return p.ReplaceFile(f, "C:\\Falta\\x"); }, false, kPathNotFound,
         Unchanged},

        {"replace with the write going through",
         [&](Platform& p) { return p.ReplaceFile(f, "C:\\PASTA\\Arquivo.txt", true); }, true,
         kSuccess,
         [](const TempDrives& d) {
             EXPECT_EQ(d.ReadNative("c/Pasta/Arquivo.txt"), "fonte");
             EXPECT_FALSE(d.ExistsNative("c/Fonte.txt"));
         }},
        {"replace with the write going through, from a missing file",
         [](Platform& p) { return p.ReplaceFile("C:\\Falta.txt", "C:\\Pasta\\Arquivo.txt", true); },
         false, kFileNotFound, Unchanged},

        {"information of a file",
         [](Platform& p) {
             FileInformation info;
             return p.GetFileInformation("c:\\pasta\\ARQUIVO.txt", &info) && info.size == 6;
         },
         true, kSuccess, Unchanged},
        {"information of a missing file",
         [](Platform& p) {
             FileInformation info;
             return p.GetFileInformation("C:\\Falta.txt", &info);
         },
         false, kFileNotFound, Unchanged},
        {"information of a folder",
         [](Platform& p) {
             FileInformation info;
             return p.GetFileInformation("C:\\Vazia", &info);
         },
         false, kAccessDenied, Unchanged},

        {"delete a file", [](Platform& p) { return p.DeleteFile("C:\\FONTE.TXT"); }, true, kSuccess,
         [](const TempDrives& d) { EXPECT_FALSE(d.ExistsNative("c/Fonte.txt")); }},
        {"delete a folder", [](Platform& p) { return p.DeleteFile("C:\\Vazia"); }, false,
         kAccessDenied, [](const TempDrives& d) { EXPECT_TRUE(d.ExistsNative("c/Vazia")); }},
        {"delete a missing file", [](Platform& p) { return p.DeleteFile("C:\\Falta.txt"); }, false,
         kFileNotFound, Unchanged},
        {"delete in a missing folder", [](Platform& p) { return p.DeleteFile("C:\\Falta\\x.txt"); },
         false, kPathNotFound, Unchanged},
        {"delete below a file", [](Platform& p) { return p.DeleteFile("C:\\Fonte.txt\\x.txt"); },
         false, kPathNotFound, Unchanged},
        {"delete with an empty path", [](Platform& p) { return p.DeleteFile(""); }, false,
         kPathNotFound, Unchanged},

        {"create a folder", [](Platform& p) { return p.CreateDirectory("C:\\Pasta\\Nova"); }, true,
         kSuccess, [](const TempDrives& d) { EXPECT_TRUE(d.ExistsNative("c/Pasta/Nova")); }},
        {"create an existing folder", [](Platform& p) { return p.CreateDirectory("C:\\PASTA"); },
         false, kAlreadyExists, Unchanged},
        {"create a folder over a file",
         [](Platform& p) { return p.CreateDirectory("C:\\fonte.txt"); }, false, kAlreadyExists,
         Unchanged},
        {"create two levels", [](Platform& p) { return p.CreateDirectory("C:\\Nova\\Sub"); }, false,
         kPathNotFound, [](const TempDrives& d) { EXPECT_FALSE(d.ExistsNative("c/Nova")); }},

        {"remove an empty folder", [](Platform& p) { return p.RemoveDirectory("C:\\VAZIA"); }, true,
         kSuccess, [](const TempDrives& d) { EXPECT_FALSE(d.ExistsNative("c/Vazia")); }},
        {"remove a folder with files", [](Platform& p) { return p.RemoveDirectory("C:\\Pasta"); },
         false, kDirNotEmpty, Unchanged},
        {"remove a missing folder", [](Platform& p) { return p.RemoveDirectory("C:\\Falta"); },
         false, kFileNotFound, Unchanged},
        {"remove a file as a folder",
         [](Platform& p) { return p.RemoveDirectory("C:\\Fonte.txt"); }, false, kDirectoryInvalid,
         Unchanged},

        {"read a folder",
         [](Platform& p) {
             QByteArray b;
             return p.ReadFile("C:\\Pasta", &b);
         },
         false, kAccessDenied, Unchanged},
        {"read a missing file",
         [](Platform& p) {
             QByteArray b;
             return p.ReadFile("C:\\Falta.txt", &b);
         },
         false, kFileNotFound, Unchanged},
        {"write over a folder", [](Platform& p) { return p.WriteFile("C:\\Pasta", "x"); }, false,
         kAccessDenied, Unchanged},
        {"write into a missing folder",
         [](Platform& p) { return p.WriteFile("C:\\Falta\\x.txt", "x"); }, false, kPathNotFound,
         Unchanged},
        {"write over a file in another case",
         [](Platform& p) { return p.WriteFile("C:\\PASTA\\ARQUIVO.TXT", "novo"); }, true, kSuccess,
         [](const TempDrives& d) { EXPECT_EQ(d.ReadNative("c/Pasta/Arquivo.txt"), "novo"); }},
        {"create-new over an existing name",
         [](Platform& p) {
             return p.NewWritableFile("C:\\FONTE.TXT", CreateMode::kCreateNew) != nullptr;
         },
         false, kFileExists, Unchanged},
        {"create-new over a folder",
         [](Platform& p) {
             return p.NewWritableFile("C:\\Vazia", CreateMode::kCreateNew) != nullptr;
         },
         false, kFileExists, Unchanged},
        {"create-always over a folder",
         [](Platform& p) {
             return p.NewWritableFile("C:\\Vazia", CreateMode::kCreateAlways) != nullptr;
         },
         false, kAccessDenied, Unchanged},
        {"open a missing file",
         [](Platform& p) { return p.NewSequentialFile("C:\\Falta.txt") != nullptr; }, false,
         kFileNotFound, Unchanged},
        {"open a folder", [](Platform& p) { return p.NewSequentialFile("C:\\Pasta") != nullptr; },
         false, kAccessDenied, Unchanged},
    };
    for (const CallRow& row : rows) {
        SCOPED_TRACE(row.name);
        TempDrives drives;
        drives.WriteNative("c/Fonte.txt", "fonte");
        drives.WriteNative("c/Pasta/Arquivo.txt", "antigo");
        drives.MakeFolder("c/Vazia");
        PosixPlatform platform(drives.Mapping());
        platform.SetLastError(9999);
        EXPECT_EQ(row.call(platform), row.result);
        EXPECT_EQ(platform.LastError(), row.error);
        row.after(drives);
    }
}

TEST_F(FileCallsTest, ExistenceTestsTellFilesFromFoldersAndKeepTheLastError) {
    struct Row {
        const char* path;
        bool file;
        bool folder;
    };
    const Row rows[] = {
        {"C:\\fonte.TXT", true, false}, {"C:\\PASTA", false, true}, {"C:\\", false, true},
        {"C:\\Falta", false, false},    {"Q:\\x", false, false},    {"", false, false},
        {"C:\\a|b", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        platform_.SetLastError(winerror::kSharingViolation);
        EXPECT_EQ(platform_.FileExists(QString::fromUtf8(row.path)), row.file);
        EXPECT_EQ(platform_.DirectoryExists(QString::fromUtf8(row.path)), row.folder);
        EXPECT_EQ(platform_.LastError(), winerror::kSharingViolation);
    }
}

TEST_F(FileCallsTest, CopyKeepsPermissionBitsAndModificationTime) {
    const std::string source = drives_.Native("c/Fonte.txt");
    ASSERT_EQ(chmod(source.c_str(), 0750), 0);
    const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
    ASSERT_TRUE(platform_.CopyFile("C:\\Fonte.txt", "C:\\Pasta\\Arquivo.txt"));
    struct stat info;
    ASSERT_EQ(stat(drives_.Native("c/Pasta/Arquivo.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0750u);
    EXPECT_EQ(info.st_mtim.tv_sec, 1000000000);
    // The copy says so itself: a file that is a whole copy of another has its size and
    // last-write time.
    FileInformation original;
    FileInformation copia;
    ASSERT_TRUE(platform_.GetFileInformation("C:\\Fonte.txt", &original));
    ASSERT_TRUE(platform_.GetFileInformation("C:\\Pasta\\Arquivo.txt", &copia));
    EXPECT_EQ(copia.size, original.size);
    EXPECT_EQ(copia.lastWriteTime, original.lastWriteTime);
    // 2001-09-09 01:46:40 UTC in Windows' 100-nanosecond units since 1601.
    EXPECT_EQ(copia.lastWriteTime, (int64_t{1000000000} + 11644473600) * 10000000);
    // Nothing but the copy is left in the target folder.
    EXPECT_EQ(Names("C:\\Pasta\\*"), (std::vector<QString>{".", "..", "Arquivo.txt"}));
}

// A file held for one caller alone: nobody else, in this process or another, holds it
// until the holder lets it go.
TEST_F(FileCallsTest, AnExclusiveFileIsHeldByOneCallerAtATime) {
    std::unique_ptr<ExclusiveFile> primeiro = platform_.OpenExclusive("C:\\Pasta\\uso.lock");
    ASSERT_NE(primeiro, nullptr);
    EXPECT_TRUE(drives_.ExistsNative("c/Pasta/uso.lock")) << "made when missing";
    EXPECT_EQ(platform_.OpenExclusive("c:\\pasta\\USO.LOCK"), nullptr);
    EXPECT_EQ(platform_.LastError(), winerror::kSharingViolation);
    // Another process: a child that tries and reports.
    const pid_t filho = fork();
    if (filho == 0) {
        PosixPlatform outro(drives_.Mapping());
        _exit(outro.OpenExclusive("C:\\Pasta\\uso.lock") == nullptr &&
                      outro.LastError() == winerror::kSharingViolation
                  ? 0
                  : 1);
    }
    int estado = 0;
    ASSERT_EQ(waitpid(filho, &estado, 0), filho);
    EXPECT_TRUE(WIFEXITED(estado) && WEXITSTATUS(estado) == 0) << "refused in another process";
    primeiro.reset();
    EXPECT_NE(platform_.OpenExclusive("C:\\Pasta\\uso.lock"), nullptr) << "free once let go";
    EXPECT_EQ(platform_.OpenExclusive("C:\\Falta\\uso.lock"), nullptr);
    EXPECT_EQ(platform_.LastError(), winerror::kPathNotFound);
}

// CopyFileExW's progress: from nothing to the whole file, never backwards; a routine
// that cancels fails the copy and leaves the old target.
TEST_F(FileCallsTest, CopyReportsItsProgressAndCanBeCancelled) {
    const int64_t total = 20 * 1024 * 1024 + 123;
    drives_.WriteNative("c/Grande.bin", QByteArray(total, 'g'));
    std::vector<std::pair<int64_t, int64_t>> chamadas;
    ASSERT_TRUE(platform_.CopyFile("C:\\Grande.bin", "C:\\Pasta\\Copia.bin",
                                   [&](int64_t feitos, int64_t tudo) {
                                       chamadas.emplace_back(feitos, tudo);
                                       return true;
                                   }));
    ASSERT_GE(chamadas.size(), 3u) << "more than the first and the last report";
    EXPECT_EQ(chamadas.front(), std::make_pair(int64_t{0}, total));
    EXPECT_EQ(chamadas.back(), std::make_pair(total, total));
    for (size_t i = 1; i < chamadas.size(); ++i) {
        EXPECT_GE(chamadas[i].first, chamadas[i - 1].first);
    }
    EXPECT_EQ(drives_.ReadNative("c/Pasta/Copia.bin").size(), total);

    int chamadasAteCancelar = 0;
    EXPECT_FALSE(platform_.CopyFile("C:\\Grande.bin", "C:\\Pasta\\Arquivo.txt",
                                    [&](int64_t, int64_t) { return ++chamadasAteCancelar < 2; }));
    EXPECT_EQ(platform_.LastError(), winerror::kRequestAborted);
    EXPECT_EQ(drives_.ReadNative("c/Pasta/Arquivo.txt"), "antigo");
    EXPECT_EQ(Names("C:\\Pasta\\*").size(), 4u) << "no temporary file left";
}

// A copy that runs out of room fails with "disk full", removes what it wrote, and
// leaves the old target as it was. The file size limit stands in for a full disk.
TEST_F(FileCallsTest, CopyThatRunsOutOfRoomLeavesTheOldTarget) {
    drives_.WriteNative("c/Grande.bin", QByteArray(256 * 1024, 'g'));
    int pipe_[2];
    ASSERT_EQ(pipe(pipe_), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit = {64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        const bool copied = platform_.CopyFile("C:\\Grande.bin", "C:\\Pasta\\Arquivo.txt");
        const uint32_t codes[2] = {copied ? 1u : 0u, platform_.LastError()};
        (void)!write(pipe_[1], codes, sizeof codes);
        _exit(0);
    }
    close(pipe_[1]);
    uint32_t codes[2] = {9, 9};
    EXPECT_EQ(read(pipe_[0], codes, sizeof codes), static_cast<ssize_t>(sizeof codes));
    close(pipe_[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(codes[0], 0u);
    EXPECT_EQ(codes[1], winerror::kDiskFull);
    EXPECT_EQ(drives_.ReadNative("c/Pasta/Arquivo.txt"), "antigo");
    EXPECT_EQ(Names("C:\\Pasta\\*.*"), (std::vector<QString>{".", "..", "Arquivo.txt"}));
}

TEST_F(FileCallsTest, WritingToAFullDeviceIsDiskFull) {
    PosixPlatform platform(QStringLiteral("D=/dev"));
    EXPECT_FALSE(platform.WriteFile("D:\\full", QByteArray(4096, 'x')));
    EXPECT_EQ(platform.LastError(), winerror::kDiskFull);
}

TEST_F(FileCallsTest, FilesWriteAndReadBackEveryByte) {
    QByteArray contents;
    for (int i = 0; i < 300000; ++i) contents.append(static_cast<char>(i * 7 % 256));
    ASSERT_TRUE(platform_.WriteFile("C:\\Pasta\\Binario.bin", contents));
    QByteArray back;
    ASSERT_TRUE(platform_.ReadFile("C:\\PASTA\\BINARIO.BIN", &back));
    EXPECT_EQ(back, contents);
    ASSERT_TRUE(platform_.WriteFile("C:\\Pasta\\Binario.bin", "curto"));
    ASSERT_TRUE(platform_.ReadFile("C:\\Pasta\\Binario.bin", &back));
    EXPECT_EQ(back, "curto");

    std::unique_ptr<WritableFile> file =
        platform_.NewWritableFile("C:\\Novo.txt", CreateMode::kCreateNew);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->Append("um ", 3));
    EXPECT_TRUE(file->Append("dois", 4));
    EXPECT_TRUE(file->Sync());
    EXPECT_TRUE(file->Close());
    EXPECT_FALSE(file->Append("x", 1));
    EXPECT_EQ(platform_.LastError(), winerror::kInvalidHandle);
    EXPECT_EQ(drives_.ReadNative("c/Novo.txt"), "um dois");

    std::unique_ptr<SequentialFile> in = platform_.NewSequentialFile("c:\\novo.TXT");
    ASSERT_NE(in, nullptr);
    char buffer[4];
    EXPECT_EQ(in->Read(buffer, sizeof buffer), 4);
    EXPECT_EQ(in->Read(buffer, sizeof buffer), 3);
    EXPECT_EQ(in->Read(buffer, sizeof buffer), 0);
}

TEST_F(FileCallsTest, CreateNewNeverFollowsALink) {
    ASSERT_EQ(symlink(drives_.Native("c/Alvo.txt").c_str(), drives_.Native("c/Elo.txt").c_str()),
              0);
    EXPECT_EQ(platform_.NewWritableFile("C:\\Elo.txt", CreateMode::kCreateNew), nullptr);
    EXPECT_EQ(platform_.LastError(), winerror::kFileExists);
    EXPECT_FALSE(drives_.ExistsNative("c/Alvo.txt"));
}

TEST_F(FileCallsTest, EachPlatformKeepsItsOwnLastError) {
    PosixPlatform other(drives_.Mapping());
    EXPECT_FALSE(platform_.DeleteFile("C:\\Falta.txt"));
    EXPECT_TRUE(other.CreateDirectory("C:\\Outra"));
    EXPECT_EQ(platform_.LastError(), winerror::kFileNotFound);
    EXPECT_EQ(other.LastError(), winerror::kSuccess);
}

TEST_F(FileCallsTest, ErrnoBecomesTheWindowsCode) {
    using namespace winerror;
    const std::pair<int, uint32_t> rows[] = {
        {ENOENT, kFileNotFound},
        {EACCES, kAccessDenied},
        {EPERM, kAccessDenied},
        {EEXIST, kFileExists},
        {ENOSPC, kDiskFull},
        {EDQUOT, kDiskFull},
        {ENAMETOOLONG, kFilenameTooLong},
        {ENOTDIR, kPathNotFound},
        {EISDIR, kAccessDenied},
        {ETXTBSY, kSharingViolation},
        {EBUSY, kSharingViolation},
        {ENOTEMPTY, kDirNotEmpty},
        {EXDEV, kNotSameDevice},
        {0, kSuccess},
    };
    for (const auto& [error, code] : rows) {
        SCOPED_TRACE(error);
        EXPECT_EQ(WindowsErrorFromErrno(error), code);
    }
    // ENOENT names the missing part: the file, or the folder it should be in.
    platform_.Fail(ENOENT, drives_.Native("c/Pasta/x"));
    EXPECT_EQ(platform_.LastError(), kFileNotFound);
    platform_.Fail(ENOENT, drives_.Native("c/Falta/x"));
    EXPECT_EQ(platform_.LastError(), kPathNotFound);
}

TEST(SystemErrorMessage, GivesThePortugueseWindowsText) {
    PosixPlatform platform{QString()};
    const std::pair<uint32_t, const char*> rows[] = {
        {0, "A operação foi concluída com êxito."},
        {2, "O sistema não pode encontrar o arquivo especificado."},
        {3, "O sistema não pode encontrar o caminho especificado."},
        {5, "Acesso negado."},
        {32,
         "O processo não pode acessar o arquivo porque ele está sendo usado por outro processo."},
        {80, "O arquivo existe."},
        {112, "Espaço insuficiente no disco."},
        {123,
         "A sintaxe do nome do arquivo, do nome do diretório ou do rótulo do volume está "
         "incorreta."},
        {145, "O diretório não está vazio."},
        {183, "Não é possível criar um arquivo já existente."},
        {206, "O nome do arquivo ou a extensão é muito grande."},
        {9999, ""},
        {0xFFFFFFFF, ""},
    };
    for (const auto& [code, text] : rows) {
        SCOPED_TRACE(code);
        EXPECT_EQ(platform.SystemErrorMessage(code), QString::fromUtf8(text));
    }
}

}  // namespace
}  // namespace orvalis
