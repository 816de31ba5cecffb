#include "platform/PosixPlatform.h"

#include "TempDrives.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace orvalis {
namespace {

using test::TempDrives;

// Waits up to five seconds for a file that a started program writes.
bool WaitForFile(const std::string& path) {
    for (int i = 0; i < 500; ++i) {
        struct stat info;
        if (stat(path.c_str(), &info) == 0 && info.st_size > 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

class ServicesTest : public testing::Test {
  protected:
    TempDrives drives_;
    PosixPlatform platform_{drives_.Mapping()};
};

// The started program records its arguments, one a line, then its standard input.
TEST_F(ServicesTest, ShellStartsAnExecutableDetachedWithItsArguments) {
    drives_.WriteNative(
        "c/Prog/grava.sh",
        "#!/bin/sh\n"
        "sleep 0.3\n"
        "read -r _ _ _ ppid _ sid _ < /proc/$$/stat\n"
        "echo \"$ppid $sid\" > \"$0.ids\"\n"
        "{ for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; cat; echo fim; } > \"$0.tmp\"\n"
        "mv \"$0.tmp\" \"$0.out\"\n");
    ASSERT_EQ(chmod(drives_.Native("c/Prog/grava.sh").c_str(), 0755), 0);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(platform_.ShellExecute("C:\\PROG\\Grava.sh", " um \"dois tres\" \"\" C:\\x\\"), 42);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(250))
        << "the call waited for the program";
    ASSERT_TRUE(WaitForFile(drives_.Native("c/Prog/grava.sh.out")));
    EXPECT_EQ(drives_.ReadNative("c/Prog/grava.sh.out"), "[um]\n[dois tres]\n[]\n[C:\\x\\]\nfim\n");
    // Detached: not a child of this process, and in a session of its own.
    const QList<QByteArray> ids = drives_.ReadNative("c/Prog/grava.sh.ids").trimmed().split(' ');
    ASSERT_EQ(ids.size(), 2);
    EXPECT_NE(ids[0].toInt(), getpid());
    EXPECT_NE(ids[1].toInt(), getsid(0));
}

TEST_F(ServicesTest, ShellSendsUrlsAndDocumentsToTheDesktopOpener) {
    // A stand-in opener, found first on the PATH, records what it is given.
    drives_.WriteNative("bin/xdg-open",
                        "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"$(dirname \"$0\")/aberto.tmp\"\n"
                        "mv \"$(dirname \"$0\")/aberto.tmp\" \"$(dirname \"$0\")/aberto.txt\"\n");
    ASSERT_EQ(chmod(drives_.Native("bin/xdg-open").c_str(), 0755), 0);
    drives_.WriteNative("c/Notas.txt", "documento");
    const char* path = std::getenv("PATH");
    const std::string savedPath = path != nullptr ? path : "";
    setenv("PATH", (drives_.Native("bin") + ":" + savedPath).c_str(), 1);

    EXPECT_EQ(
        platform_.ShellExecute(
            "http://novidades.orvalis.test/search/label/Atualiza%C3%A7%C3%A3o+orvalisEmpresa", ""),
        42);
    ASSERT_TRUE(WaitForFile(drives_.Native("bin/aberto.txt")));
    EXPECT_EQ(drives_.ReadNative("bin/aberto.txt"),
              "http://novidades.orvalis.test/search/label/Atualiza%C3%A7%C3%A3o+orvalisEmpresa\n");
    std::filesystem::remove(drives_.Native("bin/aberto.txt"));

    EXPECT_EQ(platform_.ShellExecute("c:\\notas.TXT", ""), 42);
    ASSERT_TRUE(WaitForFile(drives_.Native("bin/aberto.txt")));
    EXPECT_EQ(drives_.ReadNative("bin/aberto.txt"),
              QByteArray::fromStdString(drives_.Native("c/Notas.txt") + "\n"));

    setenv("PATH", drives_.Native("vazio").c_str(), 1);
    EXPECT_EQ(platform_.ShellExecute("https://www.orvalis.test/", ""), 31);
    setenv("PATH", savedPath.c_str(), 1);
}

TEST_F(ServicesTest, ShellFailsForAMissingFile) {
    const std::pair<const char*, int> rows[] = {
        {"C:\\Falta.exe", 2}, {"C:\\Falta\\x.exe", 3}, {"Q:\\x.exe", 3}, {"", 3}, {"C:\\a|b", 2},
    };
    for (const auto& [file, result] : rows) {
        SCOPED_TRACE(file);
        EXPECT_EQ(platform_.ShellExecute(QString::fromUtf8(file), "x"), result);
    }
}

TEST_F(ServicesTest, SleepWaitsForTheTimeGiven) {
    const auto before = std::chrono::steady_clock::now();
    platform_.Sleep(120);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(120));
}

TEST_F(ServicesTest, NowIsTheLocalTimeToTheSecond) {
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    const QDateTime now = platform_.Now();
    EXPECT_EQ(now.time().msec(), 0);
    EXPECT_EQ(now.timeSpec(), Qt::LocalTime);
    EXPECT_GE(now, before);
    EXPECT_LE(now, QDateTime::currentDateTime());
}

TEST_F(ServicesTest, DescribesThisProcess) {
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    EXPECT_EQ(platform_.HostName(), QString::fromUtf8(host));

    const QString executable = platform_.ExecutablePath();
    EXPECT_TRUE(executable.startsWith(QStringLiteral("Z:\\"))) << executable.toStdString();
    std::string native;
    ASSERT_TRUE(platform_.NativePath(executable, &native));
    EXPECT_EQ(native, std::filesystem::read_symlink("/proc/self/exe").string());

    const QString commandLine = platform_.CommandLine();
    EXPECT_TRUE(commandLine.startsWith(executable) ||
                commandLine.startsWith(u'"' + executable + u'"'))
        << commandLine.toStdString();
}

TEST_F(ServicesTest, FormatsDatesAndTimesByTheTimeLocale) {
    const std::string saved = std::setlocale(LC_TIME, nullptr);
    std::setlocale(LC_TIME, "C");
    EXPECT_EQ(platform_.FormatShortDate(QDate(2024, 3, 5)), QStringLiteral("03/05/24"));
    EXPECT_EQ(platform_.FormatLongTime(QTime(14, 7, 9)), QStringLiteral("14:07:09"));
    EXPECT_EQ(platform_.FormatLongTime(QTime(0, 0, 0)), QStringLiteral("00:00:00"));
    if (std::setlocale(LC_TIME, "pt_BR") != nullptr ||
        std::setlocale(LC_TIME, "pt_BR.UTF-8") != nullptr) {
        EXPECT_EQ(platform_.FormatShortDate(QDate(2024, 3, 5)), QStringLiteral("05/03/2024"));
        EXPECT_EQ(platform_.FormatLongTime(QTime(9, 7, 5)), QStringLiteral("09:07:05"));
    }
    std::setlocale(LC_TIME, saved.c_str());
}

TEST_F(ServicesTest, WithoutAnApplicationMessagesGoToStandardError) {
    testing::internal::CaptureStderr();
    platform_.MessageBox("Parâmetros inválidos", "Aviso do Sistema", MessageIcon::Error);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Aviso do Sistema: Parâmetros inválidos\n");
    platform_.ProcessMessages();
    platform_.RequestTerminate();
}

TEST_F(ServicesTest, EventsRunWhenProcessedAndTerminateLeavesTheLoop) {
    int argc = 1;
    char name[] = "test_platform";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);

    bool ran = false;
    QMetaObject::invokeMethod(
        &application, [&ran] { ran = true; }, Qt::QueuedConnection);
    EXPECT_FALSE(ran);
    platform_.ProcessMessages();
    EXPECT_TRUE(ran);

    bool afterTerminate = false;
    QTimer::singleShot(0, &application, [&] {
        platform_.RequestTerminate();
        afterTerminate = true;  // the request returns; the loop ends afterwards
    });
    QTimer::singleShot(5000, &application, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(application.exec(), 0);
    EXPECT_TRUE(afterTerminate);
}

// The end of the program requested by an operation that still has boxes to show (a
// missing Dados folder, then the marker file that cannot be written, then the run's
// error): each box waits for its OK, and the program ends when the operation is over.
TEST_F(ServicesTest, BoxesShownAfterTheEndWasRequestedWaitForTheirOk) {
    int argc = 1;
    char name[] = "test_platform";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    // As the program's entry sets it: only the program ends the program.
    application.setQuitOnLastWindowClosed(false);

    std::vector<std::string> events;
    // Closes the box open 300 ms from now, noting whether it was still on the screen.
    const auto dismissLater = [&events] {
        QTimer::singleShot(300, [&events] {
            auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            events.push_back(box != nullptr ? "box on screen" : "no box");
            if (box != nullptr) box->accept();
        });
    };
    QTimer::singleShot(0, &application, [&] {
        platform_.RequestTerminate();
        for (const char* text : {"Não foi encontrado a pasta Dados no servidor",
                                 "Não foi possível acessar a pasta Dados no Servidor."}) {
            dismissLater();
            platform_.MessageBox(text, "Aviso do Sistema", MessageIcon::Error);
            events.push_back("box dismissed");
            platform_.ProcessMessages();
        }
        events.push_back("operation over");
    });
    QTimer::singleShot(10000, &application, [] { QCoreApplication::exit(7); });

    EXPECT_EQ(application.exec(), 0) << "the requested end, not the safety net";
    EXPECT_EQ(events, (std::vector<std::string>{"box on screen", "box dismissed", "box on screen",
                                                "box dismissed", "operation over"}));
}

TEST(DefaultPlatform, IsOneObjectForTheProcess) {
    Platform& first = Platform::Default();
    EXPECT_EQ(&first, &Platform::Default());
    EXPECT_NE(dynamic_cast<PosixPlatform*>(&first), nullptr);
}

}  // namespace
}  // namespace orvalis
