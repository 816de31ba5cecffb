#include "TempDrives.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace orvalis::test {

TempDrives::TempDrives() {
    std::string base =
        (std::filesystem::temp_directory_path() / "orvalis-plataforma-XXXXXX").string();
    if (mkdtemp(base.data()) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed";
        return;
    }
    // The canonical form, so that paths compare equal to what the platform reports.
    root_ = std::filesystem::canonical(base).string();
    MakeFolder("c");
    MakeFolder("s");
    MakeFolder("dados");
}

TempDrives::~TempDrives() {
    std::error_code ignored;
    if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
}

QString TempDrives::Mapping() const {
    return QString::fromStdString("C=" + root_ + "/c;S=" + root_ +
                                  "/s;\\\\servidor\\dados=" + root_ + "/dados");
}

void TempDrives::WriteNative(const std::string& relative, const QByteArray& contents) const {
    const std::filesystem::path path = Native(relative);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(contents.constData(), contents.size());
    ASSERT_TRUE(out.good()) << path;
}

void TempDrives::MakeFolder(const std::string& relative) const {
    std::filesystem::create_directories(Native(relative));
}

QByteArray TempDrives::ReadNative(const std::string& relative) const {
    std::ifstream in(Native(relative), std::ios::binary);
    const std::string contents((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    return QByteArray(contents.data(), static_cast<qsizetype>(contents.size()));
}

bool TempDrives::ExistsNative(const std::string& relative) const {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(Native(relative), ignored));
}

}  // namespace orvalis::test
