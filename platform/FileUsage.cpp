#include "platform/FileUsage.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

namespace orvalis {

namespace {

bool IsNumber(const char* text) {
    if (*text == '\0') return false;
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9') return false;
    }
    return true;
}

// Calls `visit` with the name of every entry of `folder` except "." and ".." until it
// returns true; answers whether it did.
bool AnyEntry(const std::string& folder, const std::function<bool(const char*)>& visit) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return false;
    bool found = false;
    while (!found) {
        const dirent* entry = readdir(dir);
        if (entry == nullptr) break;
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        found = visit(entry->d_name);
    }
    closedir(dir);
    return found;
}

bool AnyProcess(const std::function<bool(const std::string& procDir)>& visit) {
    return AnyEntry("/proc", [&](const char* name) {
        return IsNumber(name) && visit(std::string("/proc/") + name);
    });
}

}  // namespace

bool FileUsage::Same(const std::string& procLink) const {
    struct stat info;
    return stat(procLink.c_str(), &info) == 0 && info.st_dev == device_ && info.st_ino == inode_;
}

bool FileUsage::OpenByAnyProcess(int ignoredOwnDescriptor) const {
    const std::string self = "/proc/" + std::to_string(getpid());
    return AnyProcess([&](const std::string& procDir) {
        const bool isSelf = procDir == self;
        return AnyEntry(procDir + "/fd", [&](const char* fd) {
            if (isSelf && ignoredOwnDescriptor >= 0 && std::atoi(fd) == ignoredOwnDescriptor) {
                return false;
            }
            return Same(procDir + "/fd/" + fd);
        });
    });
}

bool FileUsage::ExecutedByAnyProcess() const {
    return AnyProcess([&](const std::string& procDir) {
        if (Same(procDir + "/exe")) return true;
        FILE* maps = std::fopen((procDir + "/maps").c_str(), "re");
        if (maps == nullptr) return false;
        bool found = false;
        char line[4096];
        while (!found && std::fgets(line, sizeof line, maps) != nullptr) {
            char range[64];
            unsigned major = 0;
            unsigned minor = 0;
            unsigned long long inode = 0;
            if (std::sscanf(line, "%63s %*s %*s %x:%x %llu", range, &major, &minor, &inode) != 4 ||
                inode != inode_) {
                continue;
            }
            // The device in maps is the one below an overlay, so the mapped file itself,
            // where map_files lets us see it, decides; the numbers are the fallback.
            struct stat info;
            const std::string mapped = procDir + "/map_files/" + range;
            if (stat(mapped.c_str(), &info) == 0) {
                found = info.st_dev == device_ && info.st_ino == inode_;
            } else {
                found = makedev(major, minor) == device_;
            }
        }
        std::fclose(maps);
        return found;
    });
}

bool FileUsage::LockedByAnyProcess(const std::string& nativePath) {
    const int fd = open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    bool locked = false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        locked = errno == EWOULDBLOCK;
    } else {
        flock(fd, LOCK_UN);
    }
    close(fd);
    return locked;
}

}  // namespace orvalis
