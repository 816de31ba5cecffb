#pragma once

#include <QByteArray>
#include <QString>

#include <string>

namespace orvalis::test {

// A fresh folder under the system's temporary folder with one sub-folder per drive
// (`c`, `s`) and one for the share `\\servidor\dados`, removed with everything in it
// on destruction.
class TempDrives {
  public:
    TempDrives();
    ~TempDrives();
    TempDrives(const TempDrives&) = delete;
    TempDrives& operator=(const TempDrives&) = delete;

    // "C=<root>/c;S=<root>/s;\\servidor\dados=<root>/dados".
    QString Mapping() const;
    const std::string& Root() const { return root_; }
    // <root>/<relative>.
    std::string Native(const std::string& relative) const { return root_ + "/" + relative; }

    // Creates a file (and its folders) under the root with `contents`.
    void WriteNative(const std::string& relative, const QByteArray& contents) const;
    void MakeFolder(const std::string& relative) const;
    QByteArray ReadNative(const std::string& relative) const;
    bool ExistsNative(const std::string& relative) const;

  private:
    std::string root_;
};

}  // namespace orvalis::test
