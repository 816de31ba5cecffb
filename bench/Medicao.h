#pragma once

// Measurements the benchmarks share.

#include "platform/Platform.h"

#include <fcntl.h>
#include <netdb.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace orvalis::bench {

// The targets: throughput at least this fraction of the reference tool's, and a peak
// resident size for the large input within this of that for one of kSmallMiB.
inline constexpr double kRatioTarget = 0.9;
inline constexpr long kMemoryToleranceKiB = 8 * 1024;
inline constexpr uint64_t kSmallMiB = 16;

inline double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// The peak resident size (VmHWM) of this process, in KiB; -1 when it cannot be read.
// getrusage cannot serve for a child: the peak it keeps includes the parent's pages
// shared before exec.
inline long HighWaterKiB() {
    FILE* status = std::fopen("/proc/self/status", "re");
    if (status == nullptr) return -1;
    long kib = -1;
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
    }
    std::fclose(status);
    return kib;
}

// A progress routine that costs the work what the window's throttle costs it: each report
// looks at the clock, and one report in 100 ms would be let through to a redraw (the
// redraw itself is not made).
inline ProgressRoutine ProgressoComoAJanela() {
    auto ultimo = std::make_shared<std::chrono::steady_clock::time_point>();
    return [ultimo](int64_t, int64_t) {
        const auto agora = std::chrono::steady_clock::now();
        if (agora - *ultimo >= std::chrono::milliseconds(100)) *ultimo = agora;
        return true;
    };
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// An empty folder at `path`, whatever was there.
inline void FreshFolder(const std::string& path) {
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
}

// On this kind of virtual machine the first touch of a page that the guest has handed
// back costs far more than the copy into it, and which side meets such pages is luck.
// Writing and deleting a file of the input's size just before each side gives both the
// same warm pages.
inline void WarmPageCache(const std::string& path, uint64_t bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(2);
    }
    const std::vector<char> block(1 << 20, 'q');
    for (uint64_t written = 0; written < bytes; written += block.size()) {
        if (write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) {
            std::perror("write");
            std::exit(2);
        }
    }
    close(fd);
    unlink(path.c_str());
}

// Whether `name` resolves to an IPv4 address (the test host names, under the hosts file
// of the test run).
inline bool Resolves(const char* name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* result = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &result) != 0) return false;
    freeaddrinfo(result);
    return true;
}

}  // namespace orvalis::bench
