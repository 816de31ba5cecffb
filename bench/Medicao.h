#pragma once

// Measurements the benchmarks share.

#include "platform/Platform.h"

#include <chrono>
#include <cstdio>
#include <memory>

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

// A progress routine that costs the work what the window's progress line costs it: each
// report looks at the clock, and one report in 100 ms counts as a redraw.
inline ProgressRoutine ProgressoComoAJanela() {
    auto ultimo = std::make_shared<std::chrono::steady_clock::time_point>();
    return [ultimo](int64_t, int64_t) {
        const auto agora = std::chrono::steady_clock::now();
        if (agora - *ultimo >= std::chrono::milliseconds(100)) *ultimo = agora;
        return true;
    };
}

}  // namespace orvalis::bench
