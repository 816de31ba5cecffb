// Compares BaixarArquivoHttp with `curl` on one large body from the local HTTPS
// server (tests/servers/servidor_web.py, as the files host), and shows that the
// download's memory does not grow with the size of the body.
//
//   bench_http [folder [size-in-MiB]]     default: the temporary folder, 500 MiB
//
// The host name arquivos.orvalis.test must resolve to 127.0.0.1, as under the test
// hosts file:
//   unshare --mount bash -c 'mount --bind <hosts> /etc/hosts && bench_http'
// The certificates, the server's state and the downloaded files go to a fresh folder
// inside `folder` (it needs the body size free), removed at the end. Each round runs
// both downloaders in processes of their own, in alternating order, each after a sync
// and over a warmed page cache.
// The exit status is 0 when both targets are met: median throughput at least 0.9 of
// curl's, and a peak resident size of a download of the large body within 8 MiB of
// that of a 16 MiB body.

#include "app/UnFuncaoOrvalis.h"
#include "net/DownloadHttp.h"
#include "platform/PosixPlatform.h"

#include <fcntl.h>
#include <netdb.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
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
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/Medicao.h"

extern char** environ;

namespace {

using orvalis::bench::HighWaterKiB;
using orvalis::bench::kMemoryToleranceKiB;
using orvalis::bench::kRatioTarget;
using orvalis::bench::kSmallMiB;
using orvalis::bench::Median;
using orvalis::bench::Resolves;
using orvalis::bench::Seconds;
using orvalis::bench::WarmPageCache;

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 5;
const char* const kPython = "/usr/bin/python3";
const char* const kHost = "arquivos.orvalis.test";

struct Child {
    pid_t pid = 0;
    int output = -1;  // the child's standard output, when captured
};

Child Spawn(const std::vector<std::string>& command, bool captureOutput) {
    std::vector<char*> argv;
    for (const std::string& part : command) argv.push_back(const_cast<char*>(part.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int out[2] = {-1, -1};
    if (captureOutput) {
        if (pipe(out) != 0) std::exit(2);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
    }
    Child child;
    const int spawned = posix_spawnp(&child.pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (captureOutput) {
        close(out[1]);
        child.output = out[0];
    }
    if (spawned != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(2);
    }
    return child;
}

struct Usage {
    long peakKiB = 0;       // as the kernel counts it for the child
    double cpuSeconds = 0;  // user and system
};

// Waits for a child; exits when it failed.
Usage Wait(const Child& child, const char* name) {
    int status = 0;
    rusage usage{};
    while (wait4(child.pid, &status, 0, &usage) < 0) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", name);
        std::exit(2);
    }
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return {usage.ru_maxrss, seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[256];
    ssize_t count = 0;
    while ((count = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, count);
    close(fd);
    return text;
}

// The download alone, in a process of its own, so that its peak resident size is the
// download's: `bench_http --baixar <folder> <url> <file name>`. Prints VmHWM (KiB).
int DownloadOnly(const char* folder, const char* url, const char* name) {
    orvalis::PosixPlatform platform(QStringLiteral("B=") + QString::fromUtf8(folder));
    // With the progress the window shows, as phase 2 downloads.
    if (!orvalis::BaixarArquivoHttp(
            platform, QString::fromUtf8(url), QStringLiteral("B:\\") + QString::fromUtf8(name),
            orvalis::ClienteHttp::LimitesEmVigor(), orvalis::bench::ProgressoComoAJanela())) {
        std::fprintf(stderr, "BaixarArquivoHttp failed\n");
        return 1;
    }
    std::printf("%ld\n", HighWaterKiB());
    return 0;
}

uint64_t FileSize(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--baixar") == 0) {
        return DownloadOnly(argv[2], argv[3], argv[4]);
    }
    const std::string base = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
    const uint64_t mebibytes = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 500;
    if (mebibytes < 4 * kSmallMiB) {
        std::fprintf(stderr, "the body must have at least %llu MiB\n",
                     static_cast<unsigned long long>(4 * kSmallMiB));
        return 2;
    }
    if (!Resolves(kHost)) {
        std::fprintf(stderr,
                     "%s does not resolve: run under the test hosts file, e.g.\n"
                     "  unshare --mount bash -c 'mount --bind <hosts> /etc/hosts && %s'\n",
                     kHost, argv[0]);
        return 2;
    }
    std::string folder = base + "/bench-http-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr) {
        std::perror(folder.c_str());
        return 2;
    }
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string servers = std::string(ORVALIS_SOURCE_DIR) + "/tests/servers";
    const std::string certificates = folder + "/certificados";
    const std::string state = folder + "/estado";
    std::filesystem::create_directories(state);

    Wait(Spawn({kPython, servers + "/certificados.py", certificates, kHost, "www.orvalis.test"},
               false),
         "certificados.py");
    std::ofstream(state + "/configuracao.json")
        << "{\"certificados\": \"" << certificates << "\", \"pasta\": \"" << folder << "\"}\n";
    const Child server = Spawn({kPython, servers + "/servidor_web.py", state}, false);
    const std::string ready = state + "/pronto.json";
    for (int i = 0; i < 2000 && !std::filesystem::exists(ready); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::stringstream portas;
    portas << std::ifstream(ready).rdbuf();
    const std::string text = portas.str();
    const auto key = text.find("\"arquivos\":");
    if (key == std::string::npos) {
        std::fprintf(stderr, "the web server did not start\n");
        kill(server.pid, SIGKILL);
        return 2;
    }
    const int port = std::atoi(text.c_str() + key + std::strlen("\"arquivos\":"));
    const std::string ca = certificates + "/ca.pem";
    setenv("SSL_CERT_FILE", ca.c_str(), 1);
    const std::string origin = std::string("https://") + kHost + ":" + std::to_string(port);
    const uint64_t bytes = mebibytes << 20;
    const std::string url = origin + "/gerado/" + std::to_string(bytes);
    std::printf("folder %s, body %llu MiB from %s, %d rounds\n", folder.c_str(),
                static_cast<unsigned long long>(mebibytes), origin.c_str(), kRounds);

    std::vector<double> curlSeconds;
    std::vector<double> oursSeconds;
    std::vector<double> curlCpu;
    std::vector<double> oursCpu;
    long curlPeakKiB = 0;
    long largeKiB = 0;
    for (int round = 0; round < kRounds; ++round) {
        for (int step = 0; step < 2; ++step) {
            const bool curlTurn = (round + step) % 2 == 0;
            const std::string target = folder + (curlTurn ? "/via-curl.bin" : "/via-programa.bin");
            // The previous file's write-back is not charged to the next download.
            Wait(Spawn({"sync"}, false), "sync");
            WarmPageCache(folder + "/aquecimento.bin", bytes);
            const Clock::time_point start = Clock::now();
            Usage usage;
            if (curlTurn) {
                usage =
                    Wait(Spawn({"curl", "-sS", "--fail", "--cacert", ca, "-o", target, url}, false),
                         "curl");
                curlPeakKiB = std::max(curlPeakKiB, usage.peakKiB);
            } else {
                const Child child =
                    Spawn({self, "--baixar", folder, url, "via-programa.bin"}, true);
                const std::string peak = ReadAll(child.output);
                usage = Wait(child, "BaixarArquivoHttp");
                largeKiB = std::max(largeKiB, std::strtol(peak.c_str(), nullptr, 10));
            }
            const double seconds = Seconds(Clock::now() - start);
            if (FileSize(target) != bytes) {
                std::fprintf(stderr, "%s has the wrong size\n", target.c_str());
                return 2;
            }
            std::filesystem::remove(target);
            (curlTurn ? curlSeconds : oursSeconds).push_back(seconds);
            (curlTurn ? curlCpu : oursCpu).push_back(usage.cpuSeconds);
            std::printf("  round %d  %-18s %7.3f s  %8.1f MiB/s  (cpu %.3f s)\n", round + 1,
                        curlTurn ? "curl" : "BaixarArquivoHttp", seconds,
                        static_cast<double>(mebibytes) / seconds, usage.cpuSeconds);
        }
    }

    const std::string smallUrl = origin + "/gerado/" + std::to_string(kSmallMiB << 20);
    const Child small = Spawn({self, "--baixar", folder, smallUrl, "pequeno.bin"}, true);
    const long smallKiB = std::strtol(ReadAll(small.output).c_str(), nullptr, 10);
    Wait(small, "BaixarArquivoHttp");

    kill(server.pid, SIGTERM);
    waitpid(server.pid, nullptr, 0);

    const double curlMedian = Median(curlSeconds);
    const double oursMedian = Median(oursSeconds);
    const double ratio = curlMedian / oursMedian;
    const bool fastEnough = ratio >= kRatioTarget;
    const bool flat = largeKiB - smallKiB <= kMemoryToleranceKiB;
    std::printf("median  curl %.3f s (cpu %.3f s), BaixarArquivoHttp %.3f s (cpu %.3f s)\n",
                curlMedian, Median(curlCpu), oursMedian, Median(oursCpu));
    std::printf("throughput ratio BaixarArquivoHttp / curl: %.2f   target >= %.2f   %s\n", ratio,
                kRatioTarget, fastEnough ? "met" : "MISSED");
    std::printf(
        "peak resident size of a process that runs BaixarArquivoHttp: %ld KiB for %llu MiB, "
        "%ld KiB for %llu MiB   target: within %ld KiB   %s\n",
        largeKiB, static_cast<unsigned long long>(mebibytes), smallKiB,
        static_cast<unsigned long long>(kSmallMiB), kMemoryToleranceKiB, flat ? "met" : "MISSED");
    std::printf("peak resident size of curl: %ld KiB\n", curlPeakKiB);

    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return fastEnough && flat ? 0 : 1;
}
