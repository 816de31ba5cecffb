#pragma once

// Measurements the benchmarks share.

#include <chrono>
#include <cstdio>

namespace orvalis::bench {

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

}  // namespace orvalis::bench
