#include "tests/support/PlataformaQueda.h"

#include <unistd.h>
#include <csignal>

namespace orvalis::teste {

namespace {

// A file whose every append and flush is a step of its platform.
class ArquivoQueda : public WritableFile {
  public:
    ArquivoQueda(PlataformaQueda& plataforma, std::unique_ptr<WritableFile> arquivo)
        : plataforma_(plataforma), arquivo_(std::move(arquivo)) {}

    bool Append(const char* data, size_t size) override {
        plataforma_.Passo();
        return arquivo_->Append(data, size);
    }
    bool Sync() override {
        plataforma_.Passo();
        return arquivo_->Sync();
    }
    bool Close() override { return arquivo_->Close(); }

  private:
    PlataformaQueda& plataforma_;
    std::unique_ptr<WritableFile> arquivo_;
};

}  // namespace

PlataformaQueda::PlataformaQueda(Platform& alvo, int64_t passoFatal)
    : PlatformWrapper(alvo), passoFatal_(passoFatal) {}

void PlataformaQueda::Passo() {
    if (++passos_ == passoFatal_) {
        // As a power cut: nothing after this point happens, not even a destructor.
        kill(getpid(), SIGKILL);
        pause();
    }
}

bool PlataformaQueda::CopyFile(const QString& existing, const QString& target,
                               const ProgressRoutine& progress) {
    Passo();
    return PlatformWrapper::CopyFile(existing, target, progress);
}

bool PlataformaQueda::MoveFile(const QString& existing, const QString& target) {
    Passo();
    return PlatformWrapper::MoveFile(existing, target);
}

bool PlataformaQueda::ReplaceFile(const QString& existing, const QString& target) {
    Passo();
    return PlatformWrapper::ReplaceFile(existing, target);
}

bool PlataformaQueda::ReplaceFileWriteThrough(const QString& existing, const QString& target) {
    Passo();
    return PlatformWrapper::ReplaceFileWriteThrough(existing, target);
}

bool PlataformaQueda::DeleteFile(const QString& path) {
    Passo();
    return PlatformWrapper::DeleteFile(path);
}

bool PlataformaQueda::CreateDirectory(const QString& path) {
    Passo();
    return PlatformWrapper::CreateDirectory(path);
}

bool PlataformaQueda::RemoveDirectory(const QString& path) {
    Passo();
    return PlatformWrapper::RemoveDirectory(path);
}

bool PlataformaQueda::WriteFile(const QString& path, const QByteArray& contents) {
    Passo();
    return PlatformWrapper::WriteFile(path, contents);
}

std::unique_ptr<WritableFile> PlataformaQueda::NewWritableFile(const QString& path,
                                                               CreateMode mode) {
    Passo();
    std::unique_ptr<WritableFile> arquivo = PlatformWrapper::NewWritableFile(path, mode);
    if (arquivo == nullptr) return nullptr;
    return std::make_unique<ArquivoQueda>(*this, std::move(arquivo));
}

}  // namespace orvalis::teste
