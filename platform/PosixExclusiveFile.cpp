#include "platform/PosixExclusiveFile.h"

#include <unistd.h>

namespace orvalis {

PosixExclusiveFile::~PosixExclusiveFile() {
    close(fd_);
}

}  // namespace orvalis
