#include "platform/PosixPlatform.h"

#include "platform/Ansi.h"
#include "platform/CommandLineText.h"
#include "platform/FileUsage.h"
#include "platform/PosixExclusiveFile.h"
#include "platform/PosixSequentialFile.h"
#include "platform/PosixWritableFile.h"
#include "platform/Wildcard.h"
#include "platform/WindowsErrors.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTimer>

#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <linux/close_range.h>
#include <sys/file.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <thread>

extern char** environ;

namespace orvalis {

namespace {

// Windows ShellExecute results.
constexpr int kShellStarted = 42;
constexpr int kShellNoAssociation = 31;
constexpr int kShellBadFormat = 11;

std::string ParentOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The last name of a Windows path as given, with the trailing blanks and dots that
// Windows drops.
QString GivenName(const QString& windowsPath) {
    qsizetype start = 0;
    for (qsizetype i = 0; i < windowsPath.size(); ++i) {
        const QChar c = windowsPath[i];
        if (c == u'\\' || c == u'/' || c == u':') start = i + 1;
    }
    QString name = windowsPath.mid(start);
    while (!name.isEmpty() && (name.back() == u'.' || name.back() == u' ')) name.chop(1);
    return name;
}

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
    for (;;) {
        const int fd = open(path, flags | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EINTR) return fd;
    }
}

// A rename or a new name is durable only once its folder is flushed. False, with errno
// set, when the folder cannot be flushed.
bool SyncFolder(const std::string& folder) {
    const int fd = OpenRetrying(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    const bool synced = fsync(fd) == 0;
    const int error = errno;
    close(fd);
    errno = error;
    return synced;
}

// Windows keeps file times in 100-nanosecond units since 1601-01-01 UTC.
int64_t WindowsFileTime(const struct timespec& time) {
    constexpr int64_t kSecondsFrom1601To1970 = 11644473600;
    return (static_cast<int64_t>(time.tv_sec) + kSecondsFrom1601To1970) * 10000000 +
           time.tv_nsec / 100;
}

// A name of the target's folder that nothing else uses. It never ends in ".part": a
// download in progress has that suffix, and a copy must not pass for one.
int CreateTemporary(const std::string& folder, std::string* path) {
    static std::atomic<unsigned> counter{0};
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[96];
        std::snprintf(name, sizeof name, ".orvalis-copia-%d-%u-%08x.tmp",
                      static_cast<int>(getpid()), counter.fetch_add(1),
                      static_cast<unsigned>(entropy()));
        *path = folder;
        if (path->empty() || path->back() != '/') path->push_back('/');
        path->append(name);
        const int fd = OpenRetrying(path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Copies the whole of `in` to `out` in the kernel where it can, else through a buffer
// of fixed size: the memory used never depends on the size of the file. With a progress
// routine the copy goes in pieces of kProgressChunk and reports after each; the routine
// may cancel (ECANCELED).
bool CopyBytes(int in, int out, int64_t total, const ProgressRoutine& progress) {
    constexpr size_t kProgressChunk = size_t{16} << 20;
    const size_t chunk = progress ? kProgressChunk : size_t{1} << 30;
    int64_t done = 0;
    const auto advance = [&](ssize_t copied) {
        done += copied;
        if (progress && !progress(done, total)) {
            errno = ECANCELED;
            return false;
        }
        return true;
    };
    if (!advance(0)) return false;
    bool kernelCopy = true;
    bool useSendfile = true;
    for (;;) {
        if (kernelCopy) {
            const ssize_t copied = copy_file_range(in, nullptr, out, nullptr, chunk, 0);
            if (copied > 0) {
                if (!advance(copied)) return false;
                continue;
            }
            if (copied == 0) return true;
            if (errno == EINTR) continue;
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP &&
                errno != EPERM) {
                return false;
            }
            kernelCopy = false;
        }
        if (useSendfile) {
            const ssize_t copied = sendfile(out, in, nullptr, chunk);
            if (copied > 0) {
                if (!advance(copied)) return false;
                continue;
            }
            if (copied == 0) return true;
            if (errno == EINTR) continue;
            if (errno != EINVAL && errno != ENOSYS) return false;
            useSendfile = false;
        }
        std::vector<char> buffer(size_t{1} << 20);
        for (;;) {
            const ssize_t count = read(in, buffer.data(), buffer.size());
            if (count == 0) return true;
            if (count < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            for (ssize_t written = 0; written < count;) {
                const ssize_t now =
                    write(out, buffer.data() + written, static_cast<size_t>(count - written));
                if (now < 0) {
                    if (errno == EINTR) continue;
                    return false;
                }
                written += now;
            }
            if (!advance(count)) return false;
        }
    }
}

std::string FindOnPath(const char* program) {
    const char* path = std::getenv("PATH");
    const std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = folders.substr(start, end - start);
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return std::string();
}

QString FormatTime(const char* format, const struct tm& moment) {
    char buffer[256];
    const size_t length = std::strftime(buffer, sizeof buffer, format, &moment);
    return QString::fromLocal8Bit(buffer, static_cast<qsizetype>(length));
}

}  // namespace

Platform& Platform::Default() {
    static PosixPlatform platform(FromUtf8(
        std::getenv("ORVALIS_UNIDADES") != nullptr ? std::getenv("ORVALIS_UNIDADES") : ""));
    return platform;
}

PosixPlatform::PosixPlatform(const QString& driveMapping) : drives_(driveMapping) {}

bool PosixPlatform::Succeed() {
    lastError_ = winerror::kSuccess;
    return true;
}

bool PosixPlatform::FailWith(uint32_t code) {
    lastError_ = code;
    return false;
}

bool PosixPlatform::Fail(int error, const std::string& nativePath) {
    uint32_t code = WindowsErrorFromErrno(error);
    if (error == ENOENT && !IsFolder(ParentOf(nativePath))) code = winerror::kPathNotFound;
    return FailWith(code);
}

bool PosixPlatform::Resolve(const QString& windowsPath, std::string* nativePath) {
    const uint32_t code = drives_.ToNative(windowsPath, CurrentDirectory(), nativePath);
    return code == winerror::kSuccess || FailWith(code);
}

bool PosixPlatform::NativePath(const QString& windowsPath, std::string* nativePath) {
    return Resolve(windowsPath, nativePath) && Succeed();
}

QString PosixPlatform::WindowsPath(const std::string& nativePath) {
    if (!nativePath.empty() && nativePath[0] == '/') return drives_.ToWindows(nativePath);
    char* cwd = getcwd(nullptr, 0);
    if (cwd == nullptr) return QString();
    const std::string absolute = std::string(cwd) + "/" + nativePath;
    std::free(cwd);
    return drives_.ToWindows(absolute);
}

QString PosixPlatform::CurrentDirectory() {
    char* cwd = getcwd(nullptr, 0);
    if (cwd == nullptr) return QString();
    const QString result = drives_.ToWindows(cwd);
    std::free(cwd);
    return result;
}

bool PosixPlatform::CopyFile(const QString& existing, const QString& target,
                             const ProgressRoutine& progress) {
    std::string source;
    std::string destination;
    if (!Resolve(existing, &source) || !Resolve(target, &destination)) return false;
    struct stat sourceInfo;
    if (stat(source.c_str(), &sourceInfo) != 0) return Fail(errno, source);
    if (!S_ISREG(sourceInfo.st_mode)) return FailWith(winerror::kAccessDenied);
    if (!IsFolder(ParentOf(destination))) return FailWith(winerror::kPathNotFound);

    struct stat targetInfo;
    if (stat(destination.c_str(), &targetInfo) == 0) {
        if (S_ISDIR(targetInfo.st_mode)) return FailWith(winerror::kAccessDenied);
        if (targetInfo.st_dev == sourceInfo.st_dev && targetInfo.st_ino == sourceInfo.st_ino) {
            return FailWith(winerror::kSharingViolation);
        }
        // Windows refuses to overwrite a file that another process has open or runs;
        // a rename over it would succeed here and leave that process on the old copy.
        const FileUsage usage(targetInfo.st_dev, targetInfo.st_ino);
        if (usage.OpenByAnyProcess() || FileUsage::LockedByAnyProcess(destination) ||
            usage.ExecutedByAnyProcess()) {
            return FailWith(winerror::kSharingViolation);
        }
    }
    return CopyContents(source, sourceInfo, destination, progress);
}

bool PosixPlatform::CopyContents(const std::string& source, const struct stat& sourceInfo,
                                 const std::string& target, const ProgressRoutine& progress) {
    const int in = OpenRetrying(source.c_str(), O_RDONLY | O_NOCTTY);
    if (in < 0) return Fail(errno, source);
    std::string temporary;
    const int out = CreateTemporary(ParentOf(target), &temporary);
    if (out < 0) {
        const int error = errno;
        close(in);
        return Fail(error, target);
    }

    int error = 0;
    const struct timespec times[2] = {{0, UTIME_NOW}, sourceInfo.st_mtim};
    if (!CopyBytes(in, out, static_cast<int64_t>(sourceInfo.st_size), progress) ||
        fchmod(out, sourceInfo.st_mode & 0777) != 0 || futimens(out, times) != 0 ||
        fsync(out) != 0) {
        error = errno;
    }
    close(in);
    if (close(out) != 0 && error == 0 && errno != EINTR) error = errno;
    if (error == 0 && rename(temporary.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        unlink(temporary.c_str());
        return Fail(error, target);
    }
    if (!SyncFolder(ParentOf(target))) return Fail(errno, target);
    return Succeed();
}

bool PosixPlatform::Renamed(const std::string& source, const std::string& destination,
                            bool writeThrough) {
    // The file has its new name; with write-through, both folders say so on the disk.
    if (writeThrough) {
        if (!SyncFolder(ParentOf(destination))) return Fail(errno, destination);
        if (ParentOf(source) != ParentOf(destination) && !SyncFolder(ParentOf(source))) {
            return Fail(errno, source);
        }
    }
    return Succeed();
}

bool PosixPlatform::MoveFile(const QString& existing, const QString& target, bool writeThrough) {
    std::string source;
    std::string destination;
    if (!Resolve(existing, &source) || !Resolve(target, &destination)) return false;
    const auto renamed = [&] { return Renamed(source, destination, writeThrough); };
    struct stat sourceInfo;
    if (lstat(source.c_str(), &sourceInfo) != 0) return Fail(errno, source);

    struct stat targetInfo;
    if (lstat(destination.c_str(), &targetInfo) == 0) {
        // The target name found without regard to case is the source itself: Windows
        // renames it to the spelling given.
        const bool sameFile =
            targetInfo.st_dev == sourceInfo.st_dev && targetInfo.st_ino == sourceInfo.st_ino &&
            ParentOf(source) == ParentOf(destination) &&
            FromUtf8(BaseOf(source)).compare(FromUtf8(BaseOf(destination)), Qt::CaseInsensitive) ==
                0;
        if (!sameFile) return FailWith(winerror::kAlreadyExists);
        destination = ParentOf(destination) + "/" + ToUtf8(GivenName(target));
        if (destination == source) return renamed();
    } else if (!IsFolder(ParentOf(destination))) {
        return FailWith(winerror::kPathNotFound);
    }

    if (S_ISREG(sourceInfo.st_mode)) {
        // The engine holds its database files with flock and no other sign; a plain
        // descriptor shows only under /proc. Either one is a sharing violation.
        if (FileUsage::LockedByAnyProcess(source) ||
            FileUsage(sourceInfo.st_dev, sourceInfo.st_ino).OpenByAnyProcess()) {
            return FailWith(winerror::kSharingViolation);
        }
    }

    if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) == 0) {
        return renamed();
    }
    int error = errno;
    if (error == EINVAL || error == ENOSYS) {
        // A file system without RENAME_NOREPLACE; the target was checked above.
        if (rename(source.c_str(), destination.c_str()) == 0) return renamed();
        error = errno;
    }
    if (error == EEXIST) return FailWith(winerror::kAlreadyExists);
    if (error == EXDEV) {
        if (!S_ISREG(sourceInfo.st_mode)) return FailWith(winerror::kNotSameDevice);
        if (!CopyContents(source, sourceInfo, destination)) return false;
        if (unlink(source.c_str()) != 0) return Fail(errno, source);
        return renamed();
    }
    return Fail(error, source);
}

bool PosixPlatform::ReplaceFile(const QString& existing, const QString& target, bool writeThrough) {
    std::string source;
    std::string destination;
    if (!Resolve(existing, &source) || !Resolve(target, &destination)) return false;
    struct stat sourceInfo;
    if (lstat(source.c_str(), &sourceInfo) != 0) return Fail(errno, source);
    if (!IsFolder(ParentOf(destination))) return FailWith(winerror::kPathNotFound);
    struct stat targetInfo;
    if (lstat(destination.c_str(), &targetInfo) == 0 && S_ISDIR(targetInfo.st_mode)) {
        return FailWith(winerror::kAccessDenied);
    }
    if (rename(source.c_str(), destination.c_str()) == 0) {
        return Renamed(source, destination, writeThrough);
    }
    const int error = errno;
    if (error == EXDEV) {
        if (!S_ISREG(sourceInfo.st_mode)) return FailWith(winerror::kNotSameDevice);
        if (!CopyContents(source, sourceInfo, destination)) return false;
        if (unlink(source.c_str()) != 0) return Fail(errno, source);
        return Renamed(source, destination, writeThrough);
    }
    if (error == EISDIR || error == ENOTEMPTY || error == EEXIST) {
        return FailWith(winerror::kAccessDenied);
    }
    return Fail(error, source);
}

bool PosixPlatform::DeleteFile(const QString& path) {
    std::string native;
    if (!Resolve(path, &native)) return false;
    struct stat info;
    if (lstat(native.c_str(), &info) != 0) return Fail(errno, native);
    if (S_ISDIR(info.st_mode)) return FailWith(winerror::kAccessDenied);
    if (unlink(native.c_str()) != 0) return Fail(errno, native);
    return Succeed();
}

bool PosixPlatform::CreateDirectory(const QString& path) {
    std::string native;
    if (!Resolve(path, &native)) return false;
    if (mkdir(native.c_str(), 0777) == 0) return Succeed();
    switch (errno) {
        case EEXIST:
            return FailWith(winerror::kAlreadyExists);
        case ENOENT:
        case ENOTDIR:
            return FailWith(winerror::kPathNotFound);
        default:
            return Fail(errno, native);
    }
}

bool PosixPlatform::RemoveDirectory(const QString& path) {
    std::string native;
    if (!Resolve(path, &native)) return false;
    struct stat info;
    if (lstat(native.c_str(), &info) != 0) return Fail(errno, native);
    if (!S_ISDIR(info.st_mode)) return FailWith(winerror::kDirectoryInvalid);
    if (rmdir(native.c_str()) == 0) return Succeed();
    if (errno == ENOTEMPTY || errno == EEXIST) return FailWith(winerror::kDirNotEmpty);
    return Fail(errno, native);
}

// The existence tests leave the last error alone: a caller reads the error of the
// call that failed before it, even when it tested a file in between.
bool PosixPlatform::FileExists(const QString& path) {
    std::string native;
    if (drives_.ToNative(path, CurrentDirectory(), &native) != winerror::kSuccess) return false;
    struct stat info;
    return stat(native.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool PosixPlatform::DirectoryExists(const QString& path) {
    std::string native;
    if (drives_.ToNative(path, CurrentDirectory(), &native) != winerror::kSuccess) return false;
    return IsFolder(native);
}

bool PosixPlatform::GetFileInformation(const QString& path, FileInformation* information) {
    std::string native;
    if (!Resolve(path, &native)) return false;
    struct stat info;
    if (stat(native.c_str(), &info) != 0) return Fail(errno, native);
    if (S_ISDIR(info.st_mode)) return FailWith(winerror::kAccessDenied);
    information->size = static_cast<int64_t>(info.st_size);
    information->lastWriteTime = WindowsFileTime(info.st_mtim);
    return Succeed();
}

bool PosixPlatform::ListDirectory(const QString& pattern, std::vector<DirEntry>* entries) {
    entries->clear();
    QString text = pattern;
    text.replace(u'/', u'\\');
    QString folder;
    QString name;
    const qsizetype separator = text.lastIndexOf(u'\\');
    if (separator >= 0) {
        folder = text.left(separator + 1);
        name = text.mid(separator + 1);
    } else if (text.size() >= 2 && text[1] == u':') {
        folder = text.left(2);
        name = text.mid(2);
    } else {
        folder = QStringLiteral(".");
        name = text;
    }
    if (text.isEmpty()) return FailWith(winerror::kPathNotFound);
    if (name.isEmpty()) return FailWith(winerror::kFileNotFound);
    for (QChar c : name) {
        if (c.unicode() < 32 || c == u'<' || c == u'>' || c == u'"' || c == u'|' || c == u':') {
            return FailWith(winerror::kInvalidName);
        }
    }
    if (name.size() > 255) return FailWith(winerror::kFilenameTooLong);

    std::string native;
    if (!Resolve(folder, &native)) return false;
    DIR* dir = opendir(native.c_str());
    if (dir == nullptr) {
        return FailWith(errno == EACCES ? winerror::kAccessDenied : winerror::kPathNotFound);
    }
    const Wildcard wildcard(name);
    while (const dirent* entry = readdir(dir)) {
        const QString entryName = FromUtf8(entry->d_name);
        if (!wildcard.Matches(entryName)) continue;
        bool directory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            directory = IsFolder(native + "/" + entry->d_name);
        }
        entries->push_back({entryName, directory});
    }
    closedir(dir);

    // NTFS lists "." and ".." first and the rest in the order of upper-cased names.
    auto rank = [](const QString& n) { return n == u'.' ? 0 : n == QStringLiteral("..") ? 1 : 2; };
    std::sort(entries->begin(), entries->end(), [&rank](const DirEntry& a, const DirEntry& b) {
        if (rank(a.name) != rank(b.name)) return rank(a.name) < rank(b.name);
        const int folded = a.name.compare(b.name, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a.name < b.name;
    });
    return Succeed();
}

bool PosixPlatform::ReadFile(const QString& path, QByteArray* contents) {
    std::unique_ptr<SequentialFile> file = NewSequentialFile(path);
    if (file == nullptr) return false;
    contents->clear();
    char buffer[65536];
    for (;;) {
        const int64_t count = file->Read(buffer, sizeof buffer);
        if (count < 0) return false;
        if (count == 0) break;
        contents->append(buffer, static_cast<qsizetype>(count));
    }
    return Succeed();
}

bool PosixPlatform::WriteFile(const QString& path, const QByteArray& contents) {
    std::unique_ptr<WritableFile> file = NewWritableFile(path, CreateMode::kCreateAlways);
    if (file == nullptr) return false;
    if (!file->Append(contents.constData(), static_cast<size_t>(contents.size()))) return false;
    return file->Close() && Succeed();
}

std::unique_ptr<WritableFile> PosixPlatform::NewWritableFile(const QString& path, CreateMode mode) {
    std::string native;
    if (!Resolve(path, &native)) return nullptr;
    const int flags = mode == CreateMode::kCreateNew ? O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW
                                                     : O_WRONLY | O_CREAT | O_TRUNC;
    const int fd = OpenRetrying(native.c_str(), flags | O_NOCTTY, 0666);
    if (fd < 0) {
        Fail(errno, native);
        return nullptr;
    }
    Succeed();
    return std::make_unique<PosixWritableFile>(*this, fd, native);
}

std::unique_ptr<SequentialFile> PosixPlatform::NewSequentialFile(const QString& path) {
    std::string native;
    if (!Resolve(path, &native)) return nullptr;
    const int fd = OpenRetrying(native.c_str(), O_RDONLY | O_NOCTTY);
    if (fd < 0) {
        Fail(errno, native);
        return nullptr;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        FailWith(winerror::kAccessDenied);
        return nullptr;
    }
    Succeed();
    return std::make_unique<PosixSequentialFile>(*this, fd, native);
}

bool PosixPlatform::GetDiskFreeSpaceEx(const QString& directory, uint64_t* freeBytesAvailable) {
    std::string native;
    if (!Resolve(directory, &native)) return false;
    struct stat info;
    if (stat(native.c_str(), &info) != 0) {
        // Windows names the folder of the question a path, whatever part of it is missing.
        if (errno == ENOENT || errno == ENOTDIR) return FailWith(winerror::kPathNotFound);
        return Fail(errno, native);
    }
    if (!S_ISDIR(info.st_mode)) return FailWith(winerror::kDirectoryInvalid);
    struct statvfs volume;
    if (statvfs(native.c_str(), &volume) != 0) return Fail(errno, native);
    *freeBytesAvailable = static_cast<uint64_t>(volume.f_bavail) * volume.f_frsize;
    return Succeed();
}

std::unique_ptr<ExclusiveFile> PosixPlatform::OpenExclusive(const QString& path) {
    std::string native;
    if (!Resolve(path, &native)) return nullptr;
    const int fd = OpenRetrying(native.c_str(), O_RDWR | O_CREAT | O_NOCTTY, 0666);
    if (fd < 0) {
        Fail(errno, native);
        return nullptr;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        if (error == EWOULDBLOCK) {
            FailWith(winerror::kSharingViolation);
        } else {
            Fail(error, native);
        }
        return nullptr;
    }
    Succeed();
    return std::make_unique<PosixExclusiveFile>(fd);
}

QString PosixPlatform::SystemErrorMessage(uint32_t code) {
    return WindowsErrorText(code);
}

int PosixPlatform::Spawn(const std::string& program, const QStringList& arguments) {
    // Everything the child needs is built before fork: between fork and exec only
    // async-signal-safe calls are allowed in a process with threads.
    std::vector<std::string> texts{program};
    for (const QString& argument : arguments) texts.push_back(ToUtf8(argument));
    std::vector<char*> argv;
    for (std::string& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return errno;
    const pid_t child = fork();
    if (child == 0) {
        // The intermediate child leaves at once, so the program is nobody's child
        // here and needs no wait; the program learns its exec failure back through
        // the pipe, which an exec that works closes.
        close(report[0]);
        setsid();
        const pid_t grandchild = fork();
        if (grandchild != 0) {
            if (grandchild < 0) {
                const int error = errno;
                (void)!write(report[1], &error, sizeof error);
            }
            _exit(0);
        }
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGPIPE, SIG_DFL);
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, STDIN_FILENO);
            dup2(null, STDOUT_FILENO);
            if (null > STDERR_FILENO) close(null);
        }
        // A descriptor inherited by the started program (a database file opened
        // without O_CLOEXEC by a library) would keep that file "in use" for as long as
        // the program runs.
        syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC);
        execve(argv[0], argv.data(), environ);
        const int error = errno;
        (void)!write(report[1], &error, sizeof error);
        _exit(127);
    }
    close(report[1]);
    if (child < 0) {
        const int error = errno;
        close(report[0]);
        return error;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t count;
    do {
        count = read(report[0], &error, sizeof error);
    } while (count < 0 && errno == EINTR);
    close(report[0]);
    return count == static_cast<ssize_t>(sizeof error) ? error : 0;
}

int PosixPlatform::ShellExecute(const QString& file, const QString& parameters) {
    static const QRegularExpression url(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    // Results of 32 and below are failures; the codes that ShellExecute shares with
    // the file calls are kept, every other failure is "file not found".
    auto failure = [this] {
        return lastError_ == winerror::kPathNotFound || lastError_ == winerror::kAccessDenied
                   ? static_cast<int>(lastError_)
                   : static_cast<int>(winerror::kFileNotFound);
    };
    const std::string opener = FindOnPath("xdg-open");
    if (url.match(file).hasMatch()) {
        if (opener.empty()) return kShellNoAssociation;
        return Spawn(opener, {file}) == 0 ? kShellStarted : kShellNoAssociation;
    }
    std::string native;
    if (!Resolve(file, &native)) return failure();
    struct stat info;
    if (stat(native.c_str(), &info) != 0) {
        Fail(errno, native);
        return failure();
    }
    if (S_ISREG(info.st_mode) && (info.st_mode & 0111) != 0) {
        const int error = Spawn(native, CommandLineText::Split(parameters));
        if (error == 0) return kShellStarted;
        if (error == ENOEXEC) return kShellBadFormat;
        Fail(error, native);
        return failure();
    }
    if (opener.empty()) return kShellNoAssociation;
    return Spawn(opener, {FromUtf8(native)}) == 0 ? kShellStarted : kShellNoAssociation;
}

void PosixPlatform::Sleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void PosixPlatform::ProcessMessages() {
    if (QCoreApplication::instance() == nullptr) return;
    const Nesting nesting(nesting_);
    QCoreApplication::processEvents();
}

void PosixPlatform::MessageBox(const QString& text, const QString& title, MessageIcon icon) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        std::fprintf(stderr, "%s: %s\n", ToUtf8(title).c_str(), ToUtf8(text).c_str());
        return;
    }
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    switch (icon) {
        case MessageIcon::None:
            break;
        case MessageIcon::Error:
            boxIcon = QMessageBox::Critical;
            break;
        case MessageIcon::Warning:
            boxIcon = QMessageBox::Warning;
            break;
        case MessageIcon::Information:
            boxIcon = QMessageBox::Information;
            break;
    }
    QMessageBox box(boxIcon, title, text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    const Nesting nesting(nesting_);
    box.exec();
}

void PosixPlatform::RequestTerminate() {
    if (QCoreApplication::instance() == nullptr || terminationRequested_) return;
    terminationRequested_ = true;
    ScheduleTermination(0);
}

void PosixPlatform::ScheduleTermination(int delay) {
    // Leaving the loop at once would make every later event loop return at once too: a
    // box that the same operation shows afterwards would flash and be gone. The end
    // waits until the operation that asked for it is over: a timer fires in whatever loop
    // runs (a box's, a ProcessMessages), and only ends the program from the outermost.
    // exit() rather than quit(): quit() first asks every window to close, and the main
    // window's close rule would run a second time.
    QTimer::singleShot(delay, QCoreApplication::instance(), [this] {
        if (nesting_ > 0) {
            ScheduleTermination(50);
            return;
        }
        QCoreApplication::exit(0);
    });
}

uint64_t PosixPlatform::GetTickCount64() {
    timespec agora{};
    clock_gettime(CLOCK_MONOTONIC, &agora);
    return static_cast<uint64_t>(agora.tv_sec) * 1000 +
           static_cast<uint64_t>(agora.tv_nsec) / 1000000;
}

QDateTime PosixPlatform::Now() {
    QDateTime now = QDateTime::currentDateTime();
    const QTime time = now.time();
    now.setTime(QTime(time.hour(), time.minute(), time.second()));
    return now;
}

QString PosixPlatform::CommandLine() {
    QStringList arguments;
    const int fd = OpenRetrying("/proc/self/cmdline", O_RDONLY);
    if (fd >= 0) {
        std::string raw;
        char buffer[4096];
        ssize_t count;
        while ((count = read(fd, buffer, sizeof buffer)) > 0)
            raw.append(buffer, static_cast<size_t>(count));
        close(fd);
        size_t start = 0;
        while (start < raw.size()) {
            size_t end = raw.find('\0', start);
            if (end == std::string::npos) end = raw.size();
            arguments.push_back(FromUtf8(raw.substr(start, end - start)));
            start = end + 1;
        }
    }
    // Windows starts a command line with the program as it was found, not as typed.
    const QString program = ExecutablePath();
    if (!program.isEmpty()) {
        if (arguments.isEmpty()) {
            arguments.push_back(program);
        } else {
            arguments[0] = program;
        }
    }
    return CommandLineText::Join(arguments);
}

QString PosixPlatform::HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return QString();
    return FromUtf8(name);
}

QString PosixPlatform::ExecutablePath() {
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) return QString();
    return WindowsPath(std::string(buffer, static_cast<size_t>(length)));
}

QString PosixPlatform::FormatShortDate(const QDate& date) {
    struct tm moment = {};
    moment.tm_year = date.year() - 1900;
    moment.tm_mon = date.month() - 1;
    moment.tm_mday = date.day();
    moment.tm_wday = date.dayOfWeek() % 7;
    moment.tm_yday = date.dayOfYear() - 1;
    moment.tm_isdst = -1;
    return FormatTime(nl_langinfo(D_FMT), moment);
}

QString PosixPlatform::FormatLongTime(const QTime& time) {
    struct tm moment = {};
    moment.tm_year = 70;
    moment.tm_mday = 1;
    moment.tm_hour = time.hour();
    moment.tm_min = time.minute();
    moment.tm_sec = time.second();
    moment.tm_isdst = -1;
    return FormatTime(nl_langinfo(T_FMT), moment);
}

}  // namespace orvalis
