#pragma once

#include "platform/Platform.h"

namespace orvalis {

// A descriptor that holds an exclusive flock on its file; closing it lets the lock go.
class PosixExclusiveFile : public ExclusiveFile {
  public:
    // Takes ownership of `fd`, which holds the lock already.
    explicit PosixExclusiveFile(int fd) : fd_(fd) {}
    ~PosixExclusiveFile() override;
    PosixExclusiveFile(const PosixExclusiveFile&) = delete;
    PosixExclusiveFile& operator=(const PosixExclusiveFile&) = delete;

  private:
    int fd_;
};

}  // namespace orvalis
