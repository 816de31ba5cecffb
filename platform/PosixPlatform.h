#pragma once

#include "platform/DriveMap.h"
#include "platform/Platform.h"

#include <sys/stat.h>

#include <string>

namespace orvalis {

// The platform on a POSIX machine (Linux: it reads /proc), with the Windows semantics
// that Platform describes. Windows paths go through a DriveMap; native errors become
// Windows codes; the last error belongs to this object. The files it hands out refer
// back to it and must not outlive it.
class PosixPlatform : public Platform {
  public:
    // `driveMapping` as DriveMap reads it (the text of ORVALIS_UNIDADES).
    explicit PosixPlatform(const QString& driveMapping);

    bool NativePath(const QString& windowsPath, std::string* nativePath) override;
    QString WindowsPath(const std::string& nativePath) override;
    QString CurrentDirectory() override;

    bool CopyFile(const QString& existing, const QString& target,
                  const ProgressRoutine& progress = nullptr) override;
    // With `writeThrough`, the folders of both names are flushed once the file is renamed.
    bool MoveFile(const QString& existing, const QString& target,
                  bool writeThrough = false) override;
    bool ReplaceFile(const QString& existing, const QString& target,
                     bool writeThrough = false) override;
    bool DeleteFile(const QString& path) override;
    bool CreateDirectory(const QString& path) override;
    bool RemoveDirectory(const QString& path) override;
    bool FileExists(const QString& path) override;
    bool DirectoryExists(const QString& path) override;
    bool GetFileInformation(const QString& path, FileInformation* information) override;
    bool ListDirectory(const QString& pattern, std::vector<DirEntry>* entries) override;
    bool ReadFile(const QString& path, QByteArray* contents) override;
    bool WriteFile(const QString& path, const QByteArray& contents) override;
    std::unique_ptr<WritableFile> NewWritableFile(const QString& path, CreateMode mode) override;
    std::unique_ptr<SequentialFile> NewSequentialFile(const QString& path) override;
    // An exclusive flock on the file, which the kernel lets go with the process.
    std::unique_ptr<ExclusiveFile> OpenExclusive(const QString& path) override;
    // statvfs: the blocks available to unprivileged users.
    bool GetDiskFreeSpaceEx(const QString& directory, uint64_t* freeBytesAvailable) override;

    uint32_t LastError() override { return lastError_; }
    void SetLastError(uint32_t code) override { lastError_ = code; }
    QString SystemErrorMessage(uint32_t code) override;

    // An executable file (one with an execute bit) is started in a session of its own
    // with standard input and output on /dev/null, its arguments split from
    // `parameters` by the Windows rule; a URL ("scheme://...") or another existing file
    // goes to xdg-open. Returns 42 once the program has started, 2 when `file` is
    // neither, 31 (no association) when xdg-open cannot be started. Never waits for
    // the program.
    int ShellExecute(const QString& file, const QString& parameters) override;
    void Sleep(uint32_t milliseconds) override;
    // Runs the pending events when an application object exists; otherwise nothing.
    void ProcessMessages() override;
    // A QMessageBox when a QApplication exists; otherwise the title and text on
    // standard error.
    void MessageBox(const QString& text, const QString& title, MessageIcon icon) override;
    // Leaves the event loop with code 0 once control is back in it: the operation that
    // asked goes on, its message boxes wait for their OK, and the program ends when it
    // returns to the event loop (the windows are not closed first).
    void RequestTerminate() override;
    // The local time, to the second.
    QDateTime Now() override;
    uint64_t GetTickCount64() override;
    QString CommandLine() override;
    QString HostName() override;
    QString ExecutablePath() override;
    // strftime with the D_FMT and T_FMT of the current LC_TIME locale.
    QString FormatShortDate(const QDate& date) override;
    QString FormatLongTime(const QTime& time) override;

    // Sets the last error from errno of a call on `nativePath`: ENOENT is kFileNotFound
    // when the parent folder exists and kPathNotFound otherwise. Returns false, so that
    // a failing call can end with `return Fail(errno, path)`.
    bool Fail(int error, const std::string& nativePath);

  private:
    // NativePath, setting the last error on failure.
    bool Resolve(const QString& windowsPath, std::string* nativePath);
    bool Succeed();
    bool FailWith(uint32_t code);
    // The end of a successful rename of `source` to `destination`: with `writeThrough`,
    // the folders of both names flushed (a failure to flush fails the call).
    bool Renamed(const std::string& source, const std::string& destination, bool writeThrough);
    // The copy of CopyFile once both paths are checked: a temporary file in the
    // target's folder, renamed over the target when complete.
    bool CopyContents(const std::string& source, const struct stat& sourceInfo,
                      const std::string& target, const ProgressRoutine& progress = nullptr);
    int Spawn(const std::string& program, const QStringList& arguments);
    // Ends the event loop `delay` ms from now, or later while a box or a ProcessMessages
    // of this platform is running.
    void ScheduleTermination(int delay);

    // Counts the box loops and message processing in progress for as long as it lives.
    class Nesting {
      public:
        explicit Nesting(int& depth) : depth_(depth) { ++depth_; }
        ~Nesting() { --depth_; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;

      private:
        int& depth_;
    };

    DriveMap drives_;
    int nesting_ = 0;
    bool terminationRequested_ = false;
    uint32_t lastError_ = winerror::kSuccess;
};

}  // namespace orvalis
