#include "platform/PosixPlatform.h"

#include "TempDrives.h"

#include <QStorageInfo>

#include <gtest/gtest.h>

#include <cstdint>

namespace orvalis {
namespace {

using test::TempDrives;

// Other programs write to the same volume while the test runs.
constexpr int64_t kTolerancia = int64_t{256} << 20;

TEST(DiskSpaceTest, FreeBytesOfAFolderAreThoseOfItsVolumeOrTheCallFailsLikeAFileCall) {
    TempDrives drives;
    drives.WriteNative("c/Pasta/Arquivo.txt", "x");
    drives.WriteNative("dados/Sub/y.txt", "y");
    PosixPlatform platform(drives.Mapping());
    const int64_t reference = QStorageInfo(QString::fromStdString(drives.Root())).bytesAvailable();
    ASSERT_GT(reference, 0);

    struct Row {
        const char* path;
        uint32_t error;  // kSuccess: the call succeeds
    };
    using namespace winerror;
    const Row rows[] = {
        {"C:\\", kSuccess},
        {"C:", kSuccess},
        {"c:\\PASTA", kSuccess},
        {"C:\\Pasta\\", kSuccess},
        {"\\\\servidor\\dados\\", kSuccess},
        {"\\\\SERVIDOR\\Dados\\sub", kSuccess},
        {"C:\\Falta", kPathNotFound},
        {"C:\\Falta\\Sub", kPathNotFound},
        {"C:\\Pasta\\Arquivo.txt", kDirectoryInvalid},
        {"C:\\Pasta\\Arquivo.txt\\x", kPathNotFound},
        {"Q:\\", kPathNotFound},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        uint64_t free = 7;
        platform.SetLastError(kInvalidHandle);
        const bool ok = platform.GetDiskFreeSpaceEx(QString::fromUtf8(row.path), &free);
        EXPECT_EQ(ok, row.error == kSuccess);
        EXPECT_EQ(platform.LastError(), row.error);
        if (row.error == kSuccess) {
            EXPECT_NEAR(static_cast<double>(free), static_cast<double>(reference),
                        static_cast<double>(kTolerancia));
        } else {
            EXPECT_EQ(free, 7u) << "a failed call leaves the result alone";
        }
    }
}

}  // namespace
}  // namespace orvalis
