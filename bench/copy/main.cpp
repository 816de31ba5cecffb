// Compares the platform's CopyFile (which flushes the copy to the disk) with `cp`
// followed by `sync` on one file, and shows that the copy's memory does not grow with
// the size of the file.
//
//   bench_copy [folder [size-in-MiB]]     default: the temporary folder, 1024 MiB
//
// The files go to a fresh folder inside `folder`, removed at the end. The exit status
// is 0 when both targets are met: throughput at least 0.9 of cp + sync, and a peak
// resident size of the copy of a large file within 8 MiB of that of a small file.

#include "platform/PosixPlatform.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/Medicao.h"

extern char** environ;

namespace {

using orvalis::bench::HighWaterKiB;
using orvalis::bench::kMemoryToleranceKiB;
using orvalis::bench::kRatioTarget;
using orvalis::bench::Median;
using orvalis::bench::Seconds;

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 3;

// Runs a program to its end; exits when it fails.
void Run(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& part : command) argv.push_back(const_cast<char*>(part.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(2);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0]);
        std::exit(2);
    }
}

// Incompressible contents, so that no file system can shortcut the copy.
void MakeFile(const std::string& path, uint64_t mebibytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(2);
    }
    std::vector<uint64_t> block((1 << 20) / sizeof(uint64_t));
    uint64_t state = 0x9E3779B97F4A7C15ull;
    for (uint64_t i = 0; i < mebibytes; ++i) {
        for (uint64_t& word : block) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        const size_t bytes = block.size() * sizeof(uint64_t);
        if (write(fd, block.data(), bytes) != static_cast<ssize_t>(bytes)) {
            std::perror("write");
            std::exit(2);
        }
    }
    fsync(fd);
    close(fd);
}

// The copy alone, in a process of its own, so that its peak resident size is the
// copy's: `bench_copy --copy <folder> <source name> <target name>`.
// It prints the peak resident size (VmHWM, KiB) of the process after the copy.
int CopyOnly(const char* folder, const char* source, const char* target) {
    orvalis::PosixPlatform platform(QStringLiteral("B=") + QString::fromUtf8(folder));
    const bool copied = platform.CopyFile(QStringLiteral("B:\\") + QString::fromUtf8(source),
                                          QStringLiteral("B:\\") + QString::fromUtf8(target),
                                          orvalis::bench::ProgressoComoAJanela());
    if (!copied) {
        std::fprintf(stderr, "CopyFile failed: %u\n", platform.LastError());
        return 1;
    }
    std::printf("%ld\n", HighWaterKiB());
    return 0;
}

long PeakKiBOfCopy(const std::string& self, const std::string& folder, const char* source) {
    int out[2];
    if (pipe(out) != 0) std::exit(2);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string target = "medida.bin";
    std::vector<std::string> command = {self, "--copy", folder, source, target};
    std::vector<char*> argv;
    for (std::string& part : command) argv.push_back(part.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) std::exit(2);
    char text[64] = {};
    const ssize_t count = read(out[0], text, sizeof text - 1);
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    std::filesystem::remove(folder + "/" + target);
    if (count <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) std::exit(2);
    return std::strtol(text, nullptr, 10);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--copy") == 0)
        return CopyOnly(argv[2], argv[3], argv[4]);

    const std::string base = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
    const uint64_t mebibytes = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1024;
    if (mebibytes < 64) {
        std::fprintf(stderr, "the file must have at least 64 MiB\n");
        return 2;
    }
    std::string folder = base + "/bench-copia-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr) {
        std::perror(folder.c_str());
        return 2;
    }
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string source = folder + "/fonte.bin";
    const std::string small = folder + "/pequeno.bin";
    const std::string viaCp = folder + "/copia-cp.bin";
    std::printf("folder %s, file %llu MiB, %d rounds\n", folder.c_str(),
                static_cast<unsigned long long>(mebibytes), kRounds);
    MakeFile(source, mebibytes);
    MakeFile(small, 16);
    Run({"sync"});

    orvalis::PosixPlatform platform(QStringLiteral("B=") + QString::fromStdString(folder));
    std::vector<double> cpSeconds;
    std::vector<double> platformSeconds;
    for (int round = 0; round < kRounds; ++round) {
        // Alternating the order spreads whatever the first copy of a round pays
        // (a cold cache, write-back of the previous round) over both.
        for (int step = 0; step < 2; ++step) {
            std::filesystem::remove(viaCp);
            std::filesystem::remove(folder + "/copia-plataforma.bin");
            Run({"sync"});
            const bool cpTurn = (round + step) % 2 == 0;
            const Clock::time_point start = Clock::now();
            if (cpTurn) {
                Run({"cp", source, viaCp});
                Run({"sync"});
            } else if (!platform.CopyFile("B:\\fonte.bin", "B:\\copia-plataforma.bin",
                                          orvalis::bench::ProgressoComoAJanela())) {
                std::fprintf(stderr, "CopyFile failed: %u\n", platform.LastError());
                return 2;
            }
            const double seconds = Seconds(Clock::now() - start);
            (cpTurn ? cpSeconds : platformSeconds).push_back(seconds);
            std::printf("  round %d  %-12s %7.3f s  %8.1f MiB/s\n", round + 1,
                        cpTurn ? "cp + sync" : "CopyFile", seconds,
                        static_cast<double>(mebibytes) / seconds);
        }
    }
    const double cpMedian = Median(cpSeconds);
    const double platformMedian = Median(platformSeconds);
    const double ratio = cpMedian / platformMedian;

    const long largeKiB = PeakKiBOfCopy(self, folder, "fonte.bin");
    const long smallKiB = PeakKiBOfCopy(self, folder, "pequeno.bin");
    std::printf("median  cp + sync %.3f s, CopyFile %.3f s\n", cpMedian, platformMedian);
    std::printf("throughput ratio CopyFile / (cp + sync): %.2f   target >= %.2f   %s\n", ratio,
                kRatioTarget, ratio >= kRatioTarget ? "met" : "MISSED");
    std::printf(
        "peak resident size of a process that runs CopyFile: %ld KiB for %llu MiB, "
        "%ld KiB for 16 MiB   target: within %ld KiB   %s\n",
        largeKiB, static_cast<unsigned long long>(mebibytes), smallKiB, kMemoryToleranceKiB,
        largeKiB - smallKiB <= kMemoryToleranceKiB ? "met" : "MISSED");

    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return ratio >= kRatioTarget && largeKiB - smallKiB <= kMemoryToleranceKiB ? 0 : 1;
}
