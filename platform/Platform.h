#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvalis {

// Windows error codes as the program sees them in LastError().
namespace winerror {
inline constexpr uint32_t kSuccess = 0;
inline constexpr uint32_t kFileNotFound = 2;
inline constexpr uint32_t kPathNotFound = 3;
inline constexpr uint32_t kAccessDenied = 5;
inline constexpr uint32_t kInvalidHandle = 6;
inline constexpr uint32_t kNotEnoughMemory = 8;
inline constexpr uint32_t kNotSameDevice = 17;
inline constexpr uint32_t kNoMoreFiles = 18;
inline constexpr uint32_t kWriteFault = 29;
inline constexpr uint32_t kReadFault = 30;
inline constexpr uint32_t kSharingViolation = 32;
inline constexpr uint32_t kFileExists = 80;
inline constexpr uint32_t kInvalidParameter = 87;
inline constexpr uint32_t kDiskFull = 112;
inline constexpr uint32_t kInvalidName = 123;
inline constexpr uint32_t kDirNotEmpty = 145;
inline constexpr uint32_t kAlreadyExists = 183;
inline constexpr uint32_t kFilenameTooLong = 206;
inline constexpr uint32_t kDirectoryInvalid = 267;
inline constexpr uint32_t kRequestAborted = 1235;
}  // namespace winerror

enum class MessageIcon { None, Error, Warning, Information };

// One entry of a directory listing, with the name as the file system spells it.
struct DirEntry {
    QString name;
    bool directory = false;
};

// A file opened for writing. Every call returns false on failure and sets the
// owning platform's last error. Close() is implied by destruction (its result lost).
class WritableFile {
  public:
    virtual ~WritableFile() = default;
    virtual bool Append(const char* data, size_t size) = 0;
    // Flushes written data to the disk.
    virtual bool Sync() = 0;
    virtual bool Close() = 0;
};

// A file opened for reading from its start.
class SequentialFile {
  public:
    virtual ~SequentialFile() = default;
    // Reads up to `size` bytes; returns the count (0 at the end) or -1 on failure,
    // with the owning platform's last error set.
    virtual int64_t Read(char* buffer, size_t size) = 0;
};

// What GetFileAttributesExW tells of a file: its size and its last-write time, in
// 100-nanosecond units since 1601-01-01 UTC as Windows keeps it. A copy keeps its
// source's last-write time.
struct FileInformation {
    int64_t size = 0;
    int64_t lastWriteTime = 0;
};

// The shape of CopyFileExW's progress routine, for every long piece of work that reports
// how far it is: the bytes done so far and the total (-1 when not known). Returning
// false cancels the work (PROGRESS_CANCEL), which then fails with kRequestAborted.
using ProgressRoutine = std::function<bool(int64_t bytesDone, int64_t bytesTotal)>;

// A file that this object alone holds open (CreateFileW without sharing, OPEN_ALWAYS):
// while it lives, no other process, and no other such object of this process, can hold
// the same file. Destruction lets it go; the file itself stays.
class ExclusiveFile {
  public:
    virtual ~ExclusiveFile() = default;
};

enum class CreateMode {
    kCreateAlways,  // create, or truncate an existing file
    kCreateNew,     // fail with kFileExists when the name exists; never follows a link
};

// The Windows services the program uses, with Windows semantics, on whatever
// machine it runs. Paths are Windows paths (`C:\orvalis Empresa\Dados`,
// `Dados\Rivelobase.fdb`, `\\servidor\dados\x`); every existing component is found
// without regard to letter case, and a new name keeps the case it is given.
//
// File calls return true on success; on failure they return false and set the last
// error to a Windows code (see winerror). They never throw. Calls on one object are
// made from one thread.
class Platform {
  public:
    virtual ~Platform() = default;

    // The process-wide platform of this machine, created on first use.
    static Platform& Default();

    // --- paths ---
    // The native path for a Windows path, for libraries that open files themselves
    // (the database engine, the archive reader). Fails like a file call would.
    virtual bool NativePath(const QString& windowsPath, std::string* nativePath) = 0;
    // The Windows form of a native absolute path, through the mapped drive whose
    // folder is its longest prefix (Z: when no other mapping fits).
    virtual QString WindowsPath(const std::string& nativePath) = 0;
    virtual QString CurrentDirectory() = 0;

    // --- files ---
    // CopyFileW with fail-if-exists false: overwrites an existing target, never creates
    // a folder, and fails when the target is in use by any process (open, or a running
    // program). A failed copy leaves an existing target as it was. Keeps the source's
    // permission bits. With `progress` it is CopyFileExW: the routine hears of the bytes
    // copied as the copy goes (the first time with none, the last with all of them).
    virtual bool CopyFile(const QString& existing, const QString& target,
                          const ProgressRoutine& progress = nullptr) = 0;
    // MoveFileW without flags: fails when the target exists (in any letter case), the
    // source is missing, or the source is held open by any process, this one included.
    // With `writeThrough` it is MoveFileExW with MOVEFILE_WRITE_THROUGH: it returns only
    // once the rename is on the disk.
    virtual bool MoveFile(const QString& existing, const QString& target,
                          bool writeThrough = false) = 0;
    // MoveFileExW with MOVEFILE_REPLACE_EXISTING: renames over an existing file. With
    // `writeThrough` (MOVEFILE_WRITE_THROUGH as well) it returns only once the rename is on
    // the disk, so that a power cut afterwards finds the target under its new content.
    virtual bool ReplaceFile(const QString& existing, const QString& target,
                             bool writeThrough = false) = 0;
    virtual bool DeleteFile(const QString& path) = 0;
    // Creates one folder level; fails with kAlreadyExists when the name exists.
    virtual bool CreateDirectory(const QString& path) = 0;
    // Removes an empty folder.
    virtual bool RemoveDirectory(const QString& path) = 0;
    // True for an existing file (not a folder). The existence tests leave the last
    // error as it was.
    virtual bool FileExists(const QString& path) = 0;
    virtual bool DirectoryExists(const QString& path) = 0;
    // The size and last-write time of an existing file; fails with kFileNotFound (or
    // kPathNotFound) when there is none, and with kAccessDenied for a folder.
    virtual bool GetFileInformation(const QString& path, FileInformation* information) = 0;
    // FindFirstFile/FindNextFile over `pattern`: a folder, "\" and a name with the
    // wildcards `*` and `?`, letter case ignored. Lists folders too, and "." and ".."
    // where the pattern matches them ("*" and "*.*" do). No match is success with no
    // entries; a missing folder fails with kPathNotFound.
    virtual bool ListDirectory(const QString& pattern, std::vector<DirEntry>* entries) = 0;
    virtual bool ReadFile(const QString& path, QByteArray* contents) = 0;
    // Creates the file or empties an existing one, then writes `contents`.
    virtual bool WriteFile(const QString& path, const QByteArray& contents) = 0;
    // Returns null on failure.
    virtual std::unique_ptr<WritableFile> NewWritableFile(const QString& path, CreateMode mode) = 0;
    virtual std::unique_ptr<SequentialFile> NewSequentialFile(const QString& path) = 0;
    // Opens `path`, creating it when missing, for this caller alone; null on failure,
    // with kSharingViolation when someone else holds it.
    virtual std::unique_ptr<ExclusiveFile> OpenExclusive(const QString& path) = 0;
    // GetDiskFreeSpaceExW: the bytes of the volume that holds the folder `directory`
    // that this process may still use (per-user limits applied), in `freeBytesAvailable`.
    // Fails like a file call: kPathNotFound for a missing folder or drive,
    // kDirectoryInvalid for a path that names a file; `freeBytesAvailable` is then left
    // as it was.
    virtual bool GetDiskFreeSpaceEx(const QString& directory, uint64_t* freeBytesAvailable) = 0;

    virtual uint32_t LastError() = 0;
    virtual void SetLastError(uint32_t code) = 0;
    // The text a Portuguese Windows shows for `code` (FormatMessage, without its closing
    // line break); empty when unknown.
    virtual QString SystemErrorMessage(uint32_t code) = 0;

    // --- process and user interface ---
    // ShellExecuteW, verb "open", no owner window, SW_SHOWNORMAL. An executable file
    // is started detached with `parameters` as its command-line text; a URL or a
    // document goes to the desktop's opener. Returns a value above 32 on success.
    virtual int ShellExecute(const QString& file, const QString& parameters) = 0;
    virtual void Sleep(uint32_t milliseconds) = 0;
    // Application.ProcessMessages: runs the window events already pending.
    virtual void ProcessMessages() = 0;
    // A modal box with an OK button; returns when it is dismissed.
    virtual void MessageBox(const QString& text, const QString& title, MessageIcon icon) = 0;
    // Application.Terminate: the program ends at its next return to the event loop.
    virtual void RequestTerminate() = 0;
    virtual QDateTime Now() = 0;
    // GetTickCount64: milliseconds of a clock that only goes forward, for intervals.
    virtual uint64_t GetTickCount64() = 0;
    // The process's whole command line, in Windows form (program name first).
    virtual QString CommandLine() = 0;
    virtual QString HostName() = 0;
    // The Windows path of this program's executable.
    virtual QString ExecutablePath() = 0;
    // The machine's short date and long time formats, as the regional settings give them.
    virtual QString FormatShortDate(const QDate& date) = 0;
    virtual QString FormatLongTime(const QTime& time) = 0;
};

}  // namespace orvalis
