#pragma once

#include "platform/PlatformWrapper.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace orvalis::teste {

// The test platform with faults on request: every call goes to the wrapped platform
// unless a hook below says otherwise. The wrapped platform must outlive it.
class PlataformaFalhas : public PlatformWrapper {
  public:
    using PlatformWrapper::PlatformWrapper;

    // Every rename asked for, in order, whatever its result.
    std::vector<std::pair<QString, QString>> movimentos;
    // Runs before every copy; a non-zero result fails the copy with that Windows error
    // code, leaving the files untouched.
    std::function<uint32_t(const QString& origem, const QString& destino)> aoCopiar;
    // Runs before every rename; a non-zero result fails it with that Windows error code,
    // leaving the files untouched (the rename is still recorded in `movimentos`).
    std::function<uint32_t(const QString& origem, const QString& destino)> aoMover;
    // Runs before every replace (ReplaceFile, write-through or not); a non-zero result
    // fails it with that Windows error code, leaving the files untouched.
    std::function<uint32_t(const QString& origem, const QString& destino)> aoSubstituir;
    // Runs before every whole-file read; a non-zero result fails it with that code.
    std::function<uint32_t(const QString& caminho)> aoLer;
    // Runs before every file-existence test; it may raise, as an unexpected error of the
    // step that asked would.
    std::function<void(const QString& caminho)> aoTestarArquivo;
    // While non-zero, every path translation fails with this Windows error code.
    uint32_t erroTraducao = 0;
    // Runs after every free-space query that succeeded, with the free bytes the drive
    // reported: it may lower them (a drive nearly full), or return a non-zero Windows
    // error code to fail the query.
    std::function<uint32_t(const QString& pasta, uint64_t* livres)> aoConsultarEspaco;

    bool CopyFile(const QString& existing, const QString& target,
                  const ProgressRoutine& progress = nullptr) override;
    bool MoveFile(const QString& existing, const QString& target,
                  bool writeThrough = false) override;
    bool ReadFile(const QString& path, QByteArray* contents) override;
    bool ReplaceFile(const QString& existing, const QString& target,
                     bool writeThrough = false) override;
    bool FileExists(const QString& path) override;
    bool NativePath(const QString& windowsPath, std::string* nativePath) override;
    bool GetDiskFreeSpaceEx(const QString& directory, uint64_t* freeBytesAvailable) override;
};

}  // namespace orvalis::teste
