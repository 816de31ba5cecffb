#pragma once

#include "platform/PlatformWrapper.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

namespace orvalis::teste {

// The platform of a run that is cut off, as by a kill or a power cut. Every call that
// changes a file counts one step: a copy, a rename or replace, a delete, a folder made
// or removed, a whole-file write, a file created for writing or held exclusively, each
// append to it and
// each flush of it; so does every call of Passo() (the package runner's statements,
// through the test's statement executor). The step numbered `passoFatal` (from 1) is
// never taken: the process ends right there with SIGKILL, without unwinding, closing the
// database or flushing anything. With `passoFatal` 0 the run is only counted.
//
// Every other call goes to the wrapped platform, which must outlive this one.
class PlataformaQueda : public PlatformWrapper {
  public:
    PlataformaQueda(Platform& alvo, int64_t passoFatal);

    // Counts one step, named by what it does (for the record), ending the process when
    // it is the fatal one.
    void Passo(const QString& oQue);
    // The steps taken so far, and what each one was ("copiar A -> B", "mover A -> B",
    // "mover com gravação direta A -> B", "substituir com gravação direta A -> B",
    // "criar A", "acrescentar A", "descarregar A", "apagar A", ...).
    int64_t Passos() const { return passos_; }
    const QStringList& Registro() const { return registro_; }

    bool CopyFile(const QString& existing, const QString& target,
                  const ProgressRoutine& progress = nullptr) override;
    bool MoveFile(const QString& existing, const QString& target,
                  bool writeThrough = false) override;
    bool ReplaceFile(const QString& existing, const QString& target,
                     bool writeThrough = false) override;
    bool DeleteFile(const QString& path) override;
    bool CreateDirectory(const QString& path) override;
    bool RemoveDirectory(const QString& path) override;
    bool WriteFile(const QString& path, const QByteArray& contents) override;
    std::unique_ptr<WritableFile> NewWritableFile(const QString& path, CreateMode mode) override;
    std::unique_ptr<ExclusiveFile> OpenExclusive(const QString& path) override;

  private:
    int64_t passoFatal_;
    int64_t passos_ = 0;
    QStringList registro_;
};

}  // namespace orvalis::teste
