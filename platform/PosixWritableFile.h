#pragma once

#include "platform/Platform.h"

#include <string>

namespace orvalis {

class PosixPlatform;

// A file descriptor open for writing; failures set the last error of `owner`, which
// must outlive the file.
class PosixWritableFile : public WritableFile {
  public:
    // Takes ownership of `fd`.
    PosixWritableFile(PosixPlatform& owner, int fd, std::string nativePath);
    ~PosixWritableFile() override;
    PosixWritableFile(const PosixWritableFile&) = delete;
    PosixWritableFile& operator=(const PosixWritableFile&) = delete;

    bool Append(const char* data, size_t size) override;
    bool Sync() override;
    bool Close() override;

  private:
    bool Closed();

    PosixPlatform* owner_;
    int fd_;
    std::string path_;
};

}  // namespace orvalis
