#include "platform/PosixSequentialFile.h"

#include "platform/PosixPlatform.h"

#include <unistd.h>

#include <cerrno>

namespace orvalis {

PosixSequentialFile::PosixSequentialFile(PosixPlatform& owner, int fd, std::string nativePath)
    : owner_(&owner), fd_(fd), path_(std::move(nativePath)) {}

PosixSequentialFile::~PosixSequentialFile() {
    close(fd_);
}

int64_t PosixSequentialFile::Read(char* buffer, size_t size) {
    for (;;) {
        const ssize_t count = read(fd_, buffer, size);
        if (count >= 0) {
            owner_->SetLastError(winerror::kSuccess);
            return count;
        }
        if (errno != EINTR) {
            owner_->Fail(errno, path_);
            return -1;
        }
    }
}

}  // namespace orvalis
