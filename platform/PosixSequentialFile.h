#pragma once

#include "platform/Platform.h"

#include <string>

namespace orvalis {

class PosixPlatform;

// A file descriptor open for reading; failures set the last error of `owner`, which
// must outlive the file.
class PosixSequentialFile : public SequentialFile {
  public:
    // Takes ownership of `fd`.
    PosixSequentialFile(PosixPlatform& owner, int fd, std::string nativePath);
    ~PosixSequentialFile() override;
    PosixSequentialFile(const PosixSequentialFile&) = delete;
    PosixSequentialFile& operator=(const PosixSequentialFile&) = delete;

    int64_t Read(char* buffer, size_t size) override;

  private:
    PosixPlatform* owner_;
    int fd_;
    std::string path_;
};

}  // namespace orvalis
