#include "tests/support/PlataformaFalhas.h"

namespace orvalis::teste {

bool PlataformaFalhas::CopyFile(const QString& existing, const QString& target,
                                const ProgressRoutine& progress) {
    if (aoCopiar) {
        if (const uint32_t erro = aoCopiar(existing, target); erro != 0) {
            SetLastError(erro);
            return false;
        }
    }
    return PlatformWrapper::CopyFile(existing, target, progress);
}

bool PlataformaFalhas::MoveFile(const QString& existing, const QString& target, bool writeThrough) {
    movimentos.emplace_back(existing, target);
    if (aoMover) {
        if (const uint32_t erro = aoMover(existing, target); erro != 0) {
            SetLastError(erro);
            return false;
        }
    }
    return PlatformWrapper::MoveFile(existing, target, writeThrough);
}

bool PlataformaFalhas::ReadFile(const QString& path, QByteArray* contents) {
    if (aoLer) {
        if (const uint32_t erro = aoLer(path); erro != 0) {
            SetLastError(erro);
            return false;
        }
    }
    return PlatformWrapper::ReadFile(path, contents);
}

bool PlataformaFalhas::FileExists(const QString& path) {
    if (aoTestarArquivo) aoTestarArquivo(path);
    return PlatformWrapper::FileExists(path);
}

bool PlataformaFalhas::NativePath(const QString& windowsPath, std::string* nativePath) {
    if (erroTraducao != 0) {
        SetLastError(erroTraducao);
        return false;
    }
    return PlatformWrapper::NativePath(windowsPath, nativePath);
}

bool PlataformaFalhas::GetDiskFreeSpaceEx(const QString& directory, uint64_t* freeBytesAvailable) {
    uint64_t livres = 0;
    if (!PlatformWrapper::GetDiskFreeSpaceEx(directory, &livres)) return false;
    if (aoConsultarEspaco) {
        if (const uint32_t erro = aoConsultarEspaco(directory, &livres); erro != 0) {
            SetLastError(erro);
            return false;
        }
    }
    *freeBytesAvailable = livres;
    return true;
}

bool PlataformaFalhas::ReplaceFile(const QString& existing, const QString& target,
                                   bool writeThrough) {
    if (aoSubstituir) {
        if (const uint32_t erro = aoSubstituir(existing, target); erro != 0) {
            SetLastError(erro);
            return false;
        }
    }
    return PlatformWrapper::ReplaceFile(existing, target, writeThrough);
}

}  // namespace orvalis::teste
