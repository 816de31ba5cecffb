#pragma once

#include <sys/types.h>

#include <string>

namespace orvalis {

// Whether some process on the machine uses a file, found by its device and inode.
// Processes whose /proc entries cannot be read (another user's, without privilege)
// are not seen.
class FileUsage {
  public:
    FileUsage(dev_t device, ino_t inode) : device_(device), inode_(inode) {}

    // An open descriptor of any process, this one included, except descriptor
    // `ignoredOwnDescriptor` of this process (-1: none).
    bool OpenByAnyProcess(int ignoredOwnDescriptor = -1) const;
    // The running program of a process, or a file mapped into one (a shared library).
    bool ExecutedByAnyProcess() const;
    // True when an exclusive flock cannot be had at once on `nativePath` (the database
    // engine holds its files so). A file that cannot be opened for reading is taken as
    // unlocked.
    static bool LockedByAnyProcess(const std::string& nativePath);

  private:
    bool Same(const std::string& procLink) const;

    dev_t device_;
    ino_t inode_;
};

}  // namespace orvalis
