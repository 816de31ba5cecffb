// Compares the extraction of the release packages (ExtrairArquivo) with `bsdtar -x` on
// the same archives in one run, and shows that the extraction's memory does not grow
// with the archive. The archives are those the vendor publishes, written by the test
// fixtures' writers with stored entries of incompressible data (no RAR compressor is
// packaged): a RAR 4 and a RAR 5 archive of `size` MiB each. The extraction checks
// every entry's CRC-32 against its header; bsdtar checks none of a stored entry's.
//
// Each archive holds eight files in a folder; bsdtar makes the folder, the extraction
// writes the files by their base names. Five alternating rounds each; the medians
// are compared.
//
//   bench_extract [folder [size-in-MiB]]     default: the temporary folder, 200 MiB
//
// Everything goes to a fresh folder inside `folder`, removed at the end; it needs about
// six times `size` free, and 1 GiB more (the extraction leaves that much free). The
// exit status is 0 when both targets are met for both archives: throughput at least
// 0.9 of bsdtar's, and a peak resident size of the extraction of the large archive
// within 8 MiB of that of a 16 MiB one.

#include "net/Extracao.h"
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
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/Medicao.h"
#include "bench/PacotesRar.h"

extern char** environ;

namespace {

using orvalis::bench::FreshFolder;
using orvalis::bench::HighWaterKiB;
using orvalis::bench::kMemoryToleranceKiB;
using orvalis::bench::kRatioTarget;
using orvalis::bench::kSmallMiB;
using orvalis::bench::Median;
using orvalis::bench::Seconds;

using orvalis::bench::MakeRar4;
using orvalis::bench::MakeRar5;

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 5;
constexpr int kFiles = orvalis::bench::kArchiveFiles;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    std::exit(2);
}

// Runs a program to its end and returns its standard error; exits when it fails.
std::string Run(const std::vector<std::string>& command, const std::string& directory = {}) {
    std::vector<std::string> parts = command;
    std::vector<char*> argv;
    for (std::string& part : parts) argv.push_back(part.data());
    argv.push_back(nullptr);
    int err[2];
    if (pipe(err) != 0) Fail("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(err[1]);
    if (spawned != 0) Fail("cannot start " + parts[0]);
    std::string text;
    char buffer[4096];
    ssize_t count;
    while ((count = read(err[0], buffer, sizeof buffer)) > 0) text.append(buffer, count);
    close(err[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Fail(parts[0] + " failed: " + text);
    return text;
}

double MiB(uint64_t bytes) {
    return static_cast<double>(bytes) / (1 << 20);
}

// The extraction of `archive` (a name in `folder`) into `target`, through a platform
// that maps `folder` as drive B:. Returns false with the error on standard error.
bool Extract(const std::string& folder, const std::string& archive, const std::string& target) {
    orvalis::PosixPlatform platform(QStringLiteral("B=") + QString::fromStdString(folder));
    try {
        orvalis::ExtrairArquivo(platform, QStringLiteral("B:"),
                                QStringLiteral("B:\\") + QString::fromStdString(archive),
                                QStringLiteral("B:\\") + QString::fromStdString(target));
        return true;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "ExtrairArquivo: %s\n", error.what());
        return false;
    }
}

// `bench_extract --extract <folder> <archive> <target>`: the extraction alone, in a
// process of its own, printing its peak resident size (VmHWM, KiB). getrusage cannot
// serve: the peak it keeps for a child includes the parent's pages shared before exec.
int ExtractOnly(const char* folder, const char* archive, const char* target) {
    if (!Extract(folder, archive, target)) return 1;
    std::printf("%ld\n", HighWaterKiB());
    return 0;
}

long PeakKiBOfExtraction(const std::string& self, const std::string& folder,
                         const std::string& archive) {
    const std::string target = "medida";
    FreshFolder(folder + "/" + target);
    int out[2];
    if (pipe(out) != 0) Fail("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> command = {self, "--extract", folder, archive, target};
    std::vector<char*> argv;
    for (std::string& part : command) argv.push_back(part.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) Fail("cannot start " + self);
    char text[64] = {};
    const ssize_t count = read(out[0], text, sizeof text - 1);
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    std::filesystem::remove_all(folder + "/" + target);
    if (count <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) Fail("measure failed");
    return std::strtol(text, nullptr, 10);
}

// bsdtar's peak resident size through GNU time, which is bsdtar's only parent; -1 when
// /usr/bin/time is missing.
long PeakKiBOfBsdtar(const std::string& folder, const std::string& archive) {
    if (access("/usr/bin/time", X_OK) != 0) return -1;
    const std::string target = folder + "/medida";
    FreshFolder(target);
    const std::string text = Run(
        {"/usr/bin/time", "-f", "%M", "bsdtar", "-x", "-f", folder + "/" + archive, "-C", target});
    std::filesystem::remove_all(target);
    return std::strtol(text.c_str(), nullptr, 10);
}

// Alternating rounds of bsdtar and the extraction on `archive`, then the memory check.
bool Compare(const std::string& self, const std::string& folder, const char* label,
             const std::string& archive, const std::string& small) {
    const uint64_t bytes = std::filesystem::file_size(folder + "/" + archive);
    std::printf("%s: %s, %.1f MiB\n", label, archive.c_str(), MiB(bytes));
    std::vector<double> bsdtarSeconds;
    std::vector<double> extractSeconds;
    const std::string viaBsdtar = folder + "/saida-bsdtar";
    const std::string viaExtract = folder + "/saida-extracao";
    for (int round = 0; round < kRounds; ++round) {
        // Alternating the order spreads whatever the first run of a round pays (the
        // write-back of the previous round) over both.
        for (int step = 0; step < 2; ++step) {
            const bool bsdtarTurn = (round + step) % 2 == 0;
            // Each keeps its last result, for the comparison below.
            FreshFolder(bsdtarTurn ? viaBsdtar : viaExtract);
            Run({"sync"});
            const Clock::time_point start = Clock::now();
            if (bsdtarTurn) {
                Run({"bsdtar", "-x", "-f", folder + "/" + archive, "-C", viaBsdtar});
            } else if (!Extract(folder, archive, "saida-extracao")) {
                Fail("extraction failed");
            }
            const double seconds = Seconds(Clock::now() - start);
            (bsdtarTurn ? bsdtarSeconds : extractSeconds).push_back(seconds);
            std::printf("  round %d  %-14s %7.3f s  %8.1f MiB/s\n", round + 1,
                        bsdtarTurn ? "bsdtar -x" : "ExtrairArquivo", seconds, MiB(bytes) / seconds);
        }
    }
    // Same files, flat: the extraction writes by base name alone.
    uint64_t extracted = 0;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(viaExtract)) {
        extracted += entry.file_size();
        ++files;
    }
    uint64_t expected = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(viaBsdtar)) {
        if (entry.is_regular_file()) expected += entry.file_size();
    }
    if (files != kFiles || extracted != expected) Fail("the two extractions differ");
    std::filesystem::remove_all(viaBsdtar);
    std::filesystem::remove_all(viaExtract);

    const double bsdtarMedian = Median(bsdtarSeconds);
    const double extractMedian = Median(extractSeconds);
    const double ratio = bsdtarMedian / extractMedian;
    const long largeKiB = PeakKiBOfExtraction(self, folder, archive);
    const long smallKiB = PeakKiBOfExtraction(self, folder, small);
    const long bsdtarKiB = PeakKiBOfBsdtar(folder, archive);
    const bool ratioMet = ratio >= kRatioTarget;
    const bool memoryMet = largeKiB - smallKiB <= kMemoryToleranceKiB;
    std::printf("  median  bsdtar -x %.3f s, ExtrairArquivo %.3f s (%.1f MiB/s)\n", bsdtarMedian,
                extractMedian, MiB(bytes) / extractMedian);
    std::printf("  throughput ratio ExtrairArquivo / bsdtar: %.2f   target >= %.2f   %s\n", ratio,
                kRatioTarget, ratioMet ? "met" : "MISSED");
    std::printf(
        "  peak resident size of a process that runs ExtrairArquivo: %ld KiB for %.0f MiB, "
        "%ld KiB for %llu MiB   target: within %ld KiB   %s\n",
        largeKiB, MiB(bytes), smallKiB, static_cast<unsigned long long>(kSmallMiB),
        kMemoryToleranceKiB, memoryMet ? "met" : "MISSED");
    if (bsdtarKiB >= 0) std::printf("  peak resident size of bsdtar -x: %ld KiB\n", bsdtarKiB);
    return ratioMet && memoryMet;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--extract") == 0) {
        return ExtractOnly(argv[2], argv[3], argv[4]);
    }

    const std::string base = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
    const uint64_t mebibytes = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 200;
    if (mebibytes < 4 * kSmallMiB) Fail("the archives must have at least 64 MiB");
    std::string folder = base + "/bench-extracao-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr) Fail("cannot create " + folder);
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::printf("folder %s, archives of about %llu MiB, %d rounds\n", folder.c_str(),
                static_cast<unsigned long long>(mebibytes), kRounds);

    MakeRar4(folder + "/pacote4.rar", mebibytes);
    MakeRar4(folder + "/pequeno4.rar", kSmallMiB);
    MakeRar5(folder + "/pacote5.rar", mebibytes);
    MakeRar5(folder + "/pequeno5.rar", kSmallMiB);
    Run({"sync"});

    const bool rar4Met = Compare(self, folder, "RAR 4, stored", "pacote4.rar", "pequeno4.rar");
    const bool rar5Met = Compare(self, folder, "RAR 5, stored", "pacote5.rar", "pequeno5.rar");

    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return rar4Met && rar5Met ? 0 : 1;
}
