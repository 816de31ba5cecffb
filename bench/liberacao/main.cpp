// Compares what the updater does with one package of a signed release, download, check
// and extraction together, with `curl` + `sha256sum` + `bsdtar -x` on the same package in
// one run, and shows that the memory of the updater's side does not grow with the
// package:
//
//   - a stored RAR 4 of `size` MiB of incompressible data in eight files (as bench_extract
//     writes it), signed by orvalisPublicar's code with a key made for
//     the run, served by the local HTTPS server of the tests as the files host;
//   - the updater's side, in a process of its own: the signed manifest checked, the
//     package downloaded (BaixarArquivoHttp), compared in the download's temporary file
//     with its row (ConferenciaLiberacao, streamed SHA-256), renamed into place and
//     extracted (ExtrairArquivo), with the window's progress routine, as phase 2 does;
//   - the reference: curl to a file, sha256sum of that file, bsdtar -x of it, one after
//     the other; and, for comparison only, the same with `openssl dgst -sha256` in place
//     of sha256sum (coreutils' SHA-256 does not use the processor's SHA instructions,
//     OpenSSL's and so the updater's does).
//
//   bench_liberacao [folder [size-in-MiB]]     default: the temporary folder, 200 MiB
//
// The host name arquivos.orvalis.test must resolve to 127.0.0.1, as under the test
// hosts file:
//   unshare --mount bash -c 'mount --bind <hosts> /etc/hosts && bench_liberacao'
// Everything goes to a fresh folder inside `folder`, removed at the end; it needs about
// five times `size` free, and 1 GiB more that the download and the extraction leave free. Five
// rounds in rotating order, each side after a sync and over a warmed page cache; the medians are
// compared. The exit status is 0 when both targets are met: throughput at least 0.9 of the
// reference's, and a peak resident size of the updater's side for the large package within 8 MiB of
// that for a 16 MiB one.

#include "app/UnFuncaoOrvalis.h"
#include "liberacao/ChavePrivadaEd25519.h"
#include "liberacao/ChavePublicaEd25519.h"
#include "liberacao/ConferenciaLiberacao.h"
#include "liberacao/ManifestoLiberacao.h"
#include "liberacao/PublicadorLiberacao.h"
#include "net/DownloadHttp.h"
#include "net/Extracao.h"
#include "platform/PosixPlatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>

#include <netdb.h>
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
#include <optional>
#include <string>
#include <vector>

#include "bench/Medicao.h"
#include "bench/PacotesRar.h"

namespace {

using orvalis::bench::FreshFolder;
using orvalis::bench::HighWaterKiB;
using orvalis::bench::kMemoryToleranceKiB;
using orvalis::bench::kRatioTarget;
using orvalis::bench::kSmallMiB;
using orvalis::bench::MakeRar4;
using orvalis::bench::Median;
using orvalis::bench::Resolves;
using orvalis::bench::Seconds;
using orvalis::bench::WarmPageCache;
using Clock = std::chrono::steady_clock;

constexpr int kRounds = 5;
constexpr int kFiles = orvalis::bench::kArchiveFiles;
const char* const kHost = "arquivos.orvalis.test";
const QString kVersion = QStringLiteral("2.8");

[[noreturn]] void Fail(const QString& what) {
    std::fprintf(stderr, "%s\n", what.toLocal8Bit().constData());
    std::exit(2);
}

// Runs a program to its end; its standard output, or the end of the benchmark when it
// fails.
QByteArray Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        Fail(program + QStringLiteral(" failed: ") +
             QString::fromLocal8Bit(process.readAllStandardError()));
    }
    return process.readAllStandardOutput();
}

// `bench_liberacao --programa <folder> <origin> <package> <public key>`: the updater's
// side for one package of the release in <folder>/liberacao, into <folder>/programa.
// Prints its peak resident size (VmHWM, KiB).
int UpdaterSide(const char* folder, const char* origin, const char* package, const char* key) {
    using orvalis::ConferenciaLiberacao;
    orvalis::PosixPlatform platform(QStringLiteral("B=") + QString::fromLocal8Bit(folder));
    const QString name = QString::fromLocal8Bit(package);
    QByteArray manifestText;
    QByteArray signature;
    if (!platform.ReadFile(QStringLiteral("B:\\liberacao\\orvalisLiberacao.ini"), &manifestText) ||
        !platform.ReadFile(QStringLiteral("B:\\liberacao\\orvalisLiberacao.sig"), &signature)) {
        Fail(QStringLiteral("no signed manifest"));
    }
    const auto publicKey = orvalis::ChavePublicaEd25519::DeTexto(QString::fromLatin1(key));
    std::optional<orvalis::ManifestoLiberacao> manifest;
    if (!publicKey || ConferenciaLiberacao::ConferirManifesto(*publicKey, manifestText, signature,
                                                              kVersion, &manifest) !=
                          ConferenciaLiberacao::Manifesto::kAceito) {
        Fail(QStringLiteral("the manifest does not verify"));
    }
    const QString target = QStringLiteral("B:\\programa\\") + name;
    try {
        // With the progress the window shows, as phase 2 downloads and extracts.
        if (!orvalis::BaixarArquivoHttp(
                platform, QString::fromLocal8Bit(origin) + QStringLiteral("/liberacao/") + name,
                target, orvalis::ClienteHttp::LimitesEmVigor(),
                orvalis::bench::ProgressoComoAJanela(), [&](const QString& received) {
                    return ConferenciaLiberacao::ConferirArquivo(platform, *manifest, name,
                                                                 received) ==
                           ConferenciaLiberacao::Pacote::kConfere;
                })) {
            Fail(QStringLiteral("the package was not downloaded or does not match its row"));
        }
        orvalis::ExtrairArquivo(platform, QStringLiteral("B:"), target,
                                QStringLiteral("B:\\programa"),
                                orvalis::bench::ProgressoComoAJanela());
    } catch (const std::exception& error) {
        Fail(QString::fromLocal8Bit(error.what()));
    }
    std::printf("%ld\n", HighWaterKiB());
    return 0;
}

// The local web site of the tests serving `folder`, as the files host; its origin.
class WebServer {
  public:
    WebServer(const std::string& folder) {
        const QString servers = QStringLiteral(ORVALIS_SOURCE_DIR "/tests/servers");
        const QString certificates = QString::fromStdString(folder + "/certificados");
        const QString state = QString::fromStdString(folder + "/estado");
        QDir().mkpath(state);
        Run(QStringLiteral("/usr/bin/python3"),
            {servers + QStringLiteral("/certificados.py"), certificates, QString::fromLatin1(kHost),
             QStringLiteral("www.orvalis.test")});
        QFile configuration(state + QStringLiteral("/configuracao.json"));
        if (!configuration.open(QIODevice::WriteOnly)) Fail(QStringLiteral("no configuration"));
        configuration.write(
            QJsonDocument(QJsonObject{{QStringLiteral("certificados"), certificates},
                                      {QStringLiteral("pasta"), QString::fromStdString(folder)}})
                .toJson());
        configuration.close();
        process_.start(QStringLiteral("/usr/bin/python3"),
                       {servers + QStringLiteral("/servidor_web.py"), state});
        const QString ready = state + QStringLiteral("/pronto.json");
        for (int i = 0; i < 2000 && !QFile::exists(ready); ++i) QThread::msleep(10);
        QFile ports(ready);
        if (!ports.open(QIODevice::ReadOnly)) Fail(QStringLiteral("the web server did not start"));
        const int port = QJsonDocument::fromJson(ports.readAll()).object()["arquivos"].toInt();
        origin_ = QStringLiteral("https://%1:%2").arg(QString::fromLatin1(kHost)).arg(port);
        ca_ = certificates + QStringLiteral("/ca.pem");
        setenv("SSL_CERT_FILE", ca_.toLocal8Bit().constData(), 1);
    }
    ~WebServer() {
        process_.terminate();
        process_.waitForFinished(5000);
    }
    const QString& origin() const { return origin_; }
    const QString& ca() const { return ca_; }

  private:
    QProcess process_;
    QString origin_;
    QString ca_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::strcmp(argv[1], "--programa") == 0) {
        return UpdaterSide(argv[2], argv[3], argv[4], argv[5]);
    }
    QCoreApplication application(argc, argv);
    const std::string base = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
    const uint64_t mebibytes = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 200;
    if (mebibytes < 4 * kSmallMiB) Fail(QStringLiteral("the package must have at least 64 MiB"));
    if (!Resolves(kHost)) {
        Fail(QStringLiteral("%1 does not resolve: run under the test hosts file, e.g.\n"
                            "  unshare --mount bash -c 'mount --bind <hosts> /etc/hosts && %2'")
                 .arg(QString::fromLatin1(kHost), QString::fromLocal8Bit(argv[0])));
    }
    std::string folder = base + "/bench-liberacao-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr) Fail(QStringLiteral("cannot create a folder"));
    const QString self = QString::fromStdString(std::filesystem::read_symlink("/proc/self/exe"));

    std::filesystem::create_directories(folder + "/liberacao");
    MakeRar4(folder + "/liberacao/pacote.rar", mebibytes);
    MakeRar4(folder + "/liberacao/pequeno.rar", kSmallMiB);
    const orvalis::ChavePrivadaEd25519 key = orvalis::ChavePrivadaEd25519::Gerar();
    {
        orvalis::PosixPlatform platform(QStringLiteral("B=") + QString::fromStdString(folder));
        orvalis::PublicadorLiberacao::Assinar(platform, QStringLiteral("B:\\liberacao"), key,
                                              kVersion);
    }
    const QString publicKey = key.Publica().Texto();
    const WebServer server(folder);
    const uint64_t bytes = std::filesystem::file_size(folder + "/liberacao/pacote.rar");
    const double size = static_cast<double>(bytes) / (1 << 20);
    std::printf("folder %s, package %.1f MiB from %s, %d rounds\n", folder.c_str(), size,
                server.origin().toLocal8Bit().constData(), kRounds);
    Run(QStringLiteral("sync"), {});

    const QString folderText = QString::fromStdString(folder);
    const QString reference = folderText + QStringLiteral("/referencia");
    auto updaterSide = [&](const QString& package) {
        FreshFolder(folder + "/programa");
        return std::strtol(Run(self, {QStringLiteral("--programa"), folderText, server.origin(),
                                      package, publicKey})
                               .constData(),
                           nullptr, 10);
    };
    // The reference as asked for, the updater, and for comparison only the reference with
    // OpenSSL's SHA-256 (the one the updater uses) in place of coreutils' own.
    enum Side { kReference, kUpdater, kOpenssl, kSides };
    const char* const labels[kSides] = {"curl + sha256sum + bsdtar -x",
                                        "download + check + ExtrairArquivo",
                                        "curl + openssl dgst + bsdtar -x"};
    std::vector<double> seconds[kSides];
    long largeKiB = 0;
    QList<QByteArray> referenceDigests;
    for (int round = 0; round < kRounds; ++round) {
        // Rotating the order spreads whatever the first run of a round pays (the
        // write-back of the previous round) over every side.
        for (int step = 0; step < kSides; ++step) {
            const Side side = static_cast<Side>((round + step) % kSides);
            FreshFolder(side == kUpdater ? folder + "/programa" : reference.toStdString());
            Run(QStringLiteral("sync"), {});
            WarmPageCache(folder + "/aquecimento.bin", 2 * bytes);
            const Clock::time_point start = Clock::now();
            if (side == kUpdater) {
                largeKiB = std::max(largeKiB, updaterSide(QStringLiteral("pacote.rar")));
            } else {
                const QString file = reference + QStringLiteral("/pacote.rar");
                Run(QStringLiteral("curl"),
                    {QStringLiteral("-sS"), QStringLiteral("--fail"), QStringLiteral("--cacert"),
                     server.ca(), QStringLiteral("-o"), file,
                     server.origin() + QStringLiteral("/liberacao/pacote.rar")});
                referenceDigests << (side == kReference
                                         ? Run(QStringLiteral("sha256sum"), {file})
                                         : Run(QStringLiteral("openssl"),
                                               {QStringLiteral("dgst"), QStringLiteral("-sha256"),
                                                QStringLiteral("-r"), file}))
                                        .left(64);
                Run(QStringLiteral("bsdtar"), {QStringLiteral("-x"), QStringLiteral("-f"), file,
                                               QStringLiteral("-C"), reference});
            }
            const double elapsed = Seconds(Clock::now() - start);
            seconds[side].push_back(elapsed);
            std::printf("  round %d  %-36s %7.3f s  %8.1f MiB/s\n", round + 1, labels[side],
                        elapsed, size / elapsed);
        }
    }
    // Both sides saw the same bytes: the reference's digest is the manifest's row.
    QFile manifest(folderText + QStringLiteral("/liberacao/orvalisLiberacao.ini"));
    if (!manifest.open(QIODevice::ReadOnly)) Fail(QStringLiteral("no manifest"));
    const std::optional<orvalis::ManifestoLiberacao> read =
        orvalis::ManifestoLiberacao::Ler(manifest.readAll());
    const orvalis::ManifestoLiberacao::Pacote* row =
        read ? read->Procurar(QStringLiteral("pacote.rar")) : nullptr;
    if (row == nullptr || row->tamanho != bytes) Fail(QStringLiteral("no row for the package"));
    for (const QByteArray& digest : referenceDigests) {
        if (row->sha256.toHex() != digest) {
            Fail(QStringLiteral("the reference's SHA-256 is not the manifest's"));
        }
    }
    uint64_t extracted = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder + "/programa")) {
        if (entry.path().extension() == ".bin") extracted += entry.file_size();
    }
    if (extracted != ((mebibytes / kFiles) << 20) * kFiles) {
        Fail(QStringLiteral("the extraction is not the package's files"));
    }
    const long smallKiB = updaterSide(QStringLiteral("pequeno.rar"));

    const double referenceMedian = Median(seconds[kReference]);
    const double updaterMedian = Median(seconds[kUpdater]);
    const double opensslMedian = Median(seconds[kOpenssl]);
    const double ratio = referenceMedian / updaterMedian;
    const bool fastEnough = ratio >= kRatioTarget;
    const bool flat = largeKiB - smallKiB <= kMemoryToleranceKiB;
    std::printf(
        "median  curl + sha256sum + bsdtar -x %.3f s, download + check + extraction %.3f s, "
        "curl + openssl dgst + bsdtar -x %.3f s\n",
        referenceMedian, updaterMedian, opensslMedian);
    std::printf(
        "throughput ratio updater / (curl + sha256sum + bsdtar): %.2f   target >= %.2f   %s\n",
        ratio, kRatioTarget, fastEnough ? "met" : "MISSED");
    std::printf(
        "throughput ratio updater / (curl + openssl dgst + bsdtar): %.2f   (for comparison)\n",
        opensslMedian / updaterMedian);
    std::printf(
        "peak resident size of the updater's side: %ld KiB for %.0f MiB, %ld KiB for %llu MiB   "
        "target: within %ld KiB   %s\n",
        largeKiB, size, smallKiB, static_cast<unsigned long long>(kSmallMiB), kMemoryToleranceKiB,
        flat ? "met" : "MISSED");

    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return fastEnough && flat ? 0 : 1;
}
