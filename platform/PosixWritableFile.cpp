#include "platform/PosixWritableFile.h"

#include "platform/PosixPlatform.h"

#include <unistd.h>

#include <cerrno>

namespace orvalis {

PosixWritableFile::PosixWritableFile(PosixPlatform& owner, int fd, std::string nativePath)
    : owner_(&owner), fd_(fd), path_(std::move(nativePath)) {}

PosixWritableFile::~PosixWritableFile() {
    if (fd_ >= 0) close(fd_);
}

bool PosixWritableFile::Closed() {
    // A call after Close() is a use of an invalid handle on Windows.
    owner_->SetLastError(winerror::kInvalidHandle);
    return false;
}

bool PosixWritableFile::Append(const char* data, size_t size) {
    if (fd_ < 0) return Closed();
    while (size > 0) {
        const ssize_t written = write(fd_, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return owner_->Fail(errno, path_);
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    owner_->SetLastError(winerror::kSuccess);
    return true;
}

bool PosixWritableFile::Sync() {
    if (fd_ < 0) return Closed();
    if (fsync(fd_) != 0) return owner_->Fail(errno, path_);
    owner_->SetLastError(winerror::kSuccess);
    return true;
}

bool PosixWritableFile::Close() {
    if (fd_ < 0) return Closed();
    const int fd = fd_;
    fd_ = -1;
    // The descriptor is gone even when close reports an error (a late write failure
    // of a network file system): it must not be closed again.
    if (close(fd) != 0 && errno != EINTR) return owner_->Fail(errno, path_);
    owner_->SetLastError(winerror::kSuccess);
    return true;
}

}  // namespace orvalis
