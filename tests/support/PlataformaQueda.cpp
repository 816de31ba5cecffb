#include "tests/support/PlataformaQueda.h"

#include <unistd.h>
#include <csignal>

namespace orvalis::teste {

namespace {

// A file whose every append and flush is a step of its platform.
class ArquivoQueda : public WritableFile {
  public:
    ArquivoQueda(PlataformaQueda& plataforma, std::unique_ptr<WritableFile> arquivo,
                 QString caminho)
        : plataforma_(plataforma), arquivo_(std::move(arquivo)), caminho_(std::move(caminho)) {}

    bool Append(const char* data, size_t size) override {
        plataforma_.Passo(QStringLiteral("acrescentar ") + caminho_);
        return arquivo_->Append(data, size);
    }
    bool Sync() override {
        plataforma_.Passo(QStringLiteral("descarregar ") + caminho_);
        return arquivo_->Sync();
    }
    bool Close() override { return arquivo_->Close(); }

  private:
    PlataformaQueda& plataforma_;
    std::unique_ptr<WritableFile> arquivo_;
    QString caminho_;
};

}  // namespace

PlataformaQueda::PlataformaQueda(Platform& alvo, int64_t passoFatal)
    : PlatformWrapper(alvo), passoFatal_(passoFatal) {}

void PlataformaQueda::Passo(const QString& oQue) {
    registro_ << oQue;
    if (++passos_ == passoFatal_) {
        // As a power cut: nothing after this point happens, not even a destructor.
        kill(getpid(), SIGKILL);
        pause();
    }
}

bool PlataformaQueda::CopyFile(const QString& existing, const QString& target,
                               const ProgressRoutine& progress) {
    Passo(QStringLiteral("copiar ") + existing + QStringLiteral(" -> ") + target);
    return PlatformWrapper::CopyFile(existing, target, progress);
}

bool PlataformaQueda::MoveFile(const QString& existing, const QString& target, bool writeThrough) {
    Passo((writeThrough ? QStringLiteral("mover com gravação direta ") : QStringLiteral("mover ")) +
          existing + QStringLiteral(" -> ") + target);
    return PlatformWrapper::MoveFile(existing, target, writeThrough);
}

bool PlataformaQueda::ReplaceFile(const QString& existing, const QString& target,
                                  bool writeThrough) {
    Passo((writeThrough ? QStringLiteral("substituir com gravação direta ")
                        : QStringLiteral("substituir ")) +
          existing + QStringLiteral(" -> ") + target);
    return PlatformWrapper::ReplaceFile(existing, target, writeThrough);
}

bool PlataformaQueda::DeleteFile(const QString& path) {
    Passo(QStringLiteral("apagar ") + path);
    return PlatformWrapper::DeleteFile(path);
}

bool PlataformaQueda::CreateDirectory(const QString& path) {
    Passo(QStringLiteral("criar pasta ") + path);
    return PlatformWrapper::CreateDirectory(path);
}

bool PlataformaQueda::RemoveDirectory(const QString& path) {
    Passo(QStringLiteral("remover pasta ") + path);
    return PlatformWrapper::RemoveDirectory(path);
}

bool PlataformaQueda::WriteFile(const QString& path, const QByteArray& contents) {
    Passo(QStringLiteral("gravar ") + path);
    return PlatformWrapper::WriteFile(path, contents);
}

std::unique_ptr<WritableFile> PlataformaQueda::NewWritableFile(const QString& path,
                                                               CreateMode mode) {
    Passo(QStringLiteral("criar ") + path);
    std::unique_ptr<WritableFile> arquivo = PlatformWrapper::NewWritableFile(path, mode);
    if (arquivo == nullptr) return nullptr;
    return std::make_unique<ArquivoQueda>(*this, std::move(arquivo), path);
}

std::unique_ptr<ExclusiveFile> PlataformaQueda::OpenExclusive(const QString& path) {
    Passo(QStringLiteral("reservar ") + path);
    return PlatformWrapper::OpenExclusive(path);
}

}  // namespace orvalis::teste
