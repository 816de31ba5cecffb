#include "platform/PosixPlatform.h"

#include "TempDrives.h"

#include <firebird/Interface.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <chrono>
#include <thread>

extern char** environ;

namespace orvalis {
namespace {

using test::TempDrives;

// A child process that opens a file, keeps it open until released, and ends.
class HoldingChild {
  public:
    explicit HoldingChild(const std::string& path) {
        int ready[2];
        if (pipe(ready) != 0 || pipe(release_) != 0) {
            ADD_FAILURE() << "pipe";
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(release_[1]);
            const int fd = open(path.c_str(), O_RDONLY);
            const char state = fd >= 0 ? 'y' : 'n';
            (void)!write(ready[1], &state, 1);
            char ignored;
            (void)!read(release_[0], &ignored, 1);
            _exit(0);
        }
        close(ready[1]);
        close(release_[0]);
        char state = 0;
        EXPECT_EQ(read(ready[0], &state, 1), 1);
        EXPECT_EQ(state, 'y') << "the child could not open " << path;
        close(ready[0]);
    }

    ~HoldingChild() { Release(); }

    void Release() {
        if (pid_ <= 0) return;
        close(release_[1]);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

  private:
    pid_t pid_ = -1;
    int release_[2] = {-1, -1};
};

class InUseTest : public testing::Test {
  protected:
    void SetUp() override {
        drives_.WriteNative("c/Dados/Arquivo.dat", "conteudo");
        drives_.WriteNative("c/Outro.dat", "novo");
    }

    TempDrives drives_;
    PosixPlatform platform_{drives_.Mapping()};
};

TEST_F(InUseTest, MoveIsRefusedWhileAnotherProcessHoldsTheFile) {
    HoldingChild child(drives_.Native("c/Dados/Arquivo.dat"));
    EXPECT_FALSE(platform_.MoveFile("C:\\Dados\\Arquivo.dat", "C:\\Dados\\OLD_Arquivo.dat"));
    EXPECT_EQ(platform_.LastError(), winerror::kSharingViolation);
    EXPECT_TRUE(drives_.ExistsNative("c/Dados/Arquivo.dat"));
    EXPECT_FALSE(drives_.ExistsNative("c/Dados/OLD_Arquivo.dat"));

    child.Release();
    EXPECT_TRUE(platform_.MoveFile("C:\\Dados\\Arquivo.dat", "C:\\Dados\\OLD_Arquivo.dat"));
    EXPECT_EQ(drives_.ReadNative("c/Dados/OLD_Arquivo.dat"), "conteudo");
}

TEST_F(InUseTest, MoveIsRefusedWhileThisProcessHoldsTheFile) {
    const int fd = open(drives_.Native("c/Dados/Arquivo.dat").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(platform_.MoveFile("C:\\dados\\arquivo.dat", "C:\\Movido.dat"));
    EXPECT_EQ(platform_.LastError(), winerror::kSharingViolation);
    close(fd);
    EXPECT_TRUE(platform_.MoveFile("C:\\dados\\arquivo.dat", "C:\\Movido.dat"));
}

// The engine holds a database file with flock; the exclusive-access test of the
// updater rests on this refusal.
TEST_F(InUseTest, MoveIsRefusedWhileTheEmbeddedDatabaseEngineHasTheFileAttached) {
    using namespace Firebird;
    const std::string database = drives_.Native("c/Dados/RIVELOBASE.FDB");
    IMaster* master = fb_get_master_interface();
    IStatus* rawStatus = master->getStatus();
    CheckStatusWrapper status(rawStatus);
    IProvider* provider = master->getDispatcher();
    IUtil* util = master->getUtilInterface();
    auto failed = [&](const char* step) {
        if ((status.getState() & IStatus::STATE_ERRORS) == 0) return false;
        char text[512];
        util->formatStatus(text, sizeof text, &status);
        ADD_FAILURE() << step << ": " << text;
        return true;
    };

    IXpbBuilder* dpb = util->getXpbBuilder(&status, IXpbBuilder::DPB, nullptr, 0);
    dpb->insertString(&status, isc_dpb_user_name, "SYSDBA");
    IAttachment* attachment = provider->createDatabase(
        &status, database.c_str(), dpb->getBufferLength(&status), dpb->getBuffer(&status));
    if (!failed("createDatabase")) {
        EXPECT_FALSE(
            platform_.MoveFile("c:\\dados\\rivelobase.fdb", "C:\\Dados\\OLD_RIVELOBASE.FDB"));
        EXPECT_EQ(platform_.LastError(), winerror::kSharingViolation);
        EXPECT_FALSE(platform_.CopyFile("C:\\Outro.dat", "C:\\Dados\\RIVELOBASE.FDB"));
        EXPECT_EQ(platform_.LastError(), winerror::kSharingViolation);
        EXPECT_FALSE(drives_.ExistsNative("c/Dados/OLD_RIVELOBASE.FDB"));

        attachment->detach(&status);
        failed("detach");
        EXPECT_TRUE(
            platform_.MoveFile("C:\\Dados\\RIVELOBASE.FDB", "C:\\Dados\\OLD_RIVELOBASE.FDB"));
        EXPECT_TRUE(drives_.ExistsNative("c/Dados/OLD_RIVELOBASE.FDB"));
    }
    dpb->dispose();
    provider->shutdown(&status, 0, fb_shutrsn_app_stopped);
    provider->release();
    rawStatus->dispose();
}

TEST_F(InUseTest, CopyIsRefusedOverAFileThatAnotherProcessHoldsOpen) {
    HoldingChild child(drives_.Native("c/Dados/Arquivo.dat"));
    EXPECT_FALSE(platform_.CopyFile("C:\\Outro.dat", "C:\\Dados\\Arquivo.dat"));
    EXPECT_EQ(platform_.LastError(), winerror::kSharingViolation);
    EXPECT_EQ(drives_.ReadNative("c/Dados/Arquivo.dat"), "conteudo");
    child.Release();
    EXPECT_TRUE(platform_.CopyFile("C:\\Outro.dat", "C:\\Dados\\Arquivo.dat"));
    EXPECT_EQ(drives_.ReadNative("c/Dados/Arquivo.dat"), "novo");
}

// A copy of a program keeps its execute bit, and a program that runs cannot be
// overwritten until it has ended.
TEST_F(InUseTest, CopyIsRefusedOverARunningProgram) {
    const QString sleepWindows = platform_.WindowsPath("/bin/sleep");
    ASSERT_TRUE(platform_.CopyFile(sleepWindows, "C:\\Programa.exe")) << platform_.LastError();
    const std::string program = drives_.Native("c/Programa.exe");
    struct stat info;
    ASSERT_EQ(stat(program.c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IXUSR, 0u);
    const QByteArray original = drives_.ReadNative("c/Programa.exe");

    char arg0[] = "Programa.exe";
    char arg1[] = "60";
    char* argv[] = {arg0, arg1, nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ), 0);
    // posix_spawn returns once the program has been executed.
    EXPECT_FALSE(platform_.CopyFile("C:\\Outro.dat", "C:\\Programa.exe"));
    EXPECT_EQ(platform_.LastError(), winerror::kSharingViolation);
    EXPECT_EQ(drives_.ReadNative("c/Programa.exe"), original);

    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(platform_.CopyFile("C:\\Outro.dat", "C:\\Programa.exe"));
    EXPECT_EQ(drives_.ReadNative("c/Programa.exe"), "novo");
}

}  // namespace
}  // namespace orvalis
