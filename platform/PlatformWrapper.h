#pragma once

#include "platform/Platform.h"

namespace orvalis {

// Forwards every call to another platform. A test derives from it and overrides the
// one call it wants to fail (a full disk on the third write, a refused rename) while
// every other call stays real. Does not own the target, which must outlive it.
class PlatformWrapper : public Platform {
  public:
    explicit PlatformWrapper(Platform& target) : target_(&target) {}

    Platform& target() const { return *target_; }

    bool NativePath(const QString& windowsPath, std::string* nativePath) override {
        return target_->NativePath(windowsPath, nativePath);
    }
    QString WindowsPath(const std::string& nativePath) override {
        return target_->WindowsPath(nativePath);
    }
    QString CurrentDirectory() override { return target_->CurrentDirectory(); }
    bool CopyFile(const QString& existing, const QString& target,
                  const ProgressRoutine& progress = nullptr) override {
        return target_->CopyFile(existing, target, progress);
    }
    bool MoveFile(const QString& existing, const QString& target,
                  bool writeThrough = false) override {
        return target_->MoveFile(existing, target, writeThrough);
    }
    bool ReplaceFile(const QString& existing, const QString& target,
                     bool writeThrough = false) override {
        return target_->ReplaceFile(existing, target, writeThrough);
    }
    bool DeleteFile(const QString& path) override { return target_->DeleteFile(path); }
    bool CreateDirectory(const QString& path) override { return target_->CreateDirectory(path); }
    bool RemoveDirectory(const QString& path) override { return target_->RemoveDirectory(path); }
    bool FileExists(const QString& path) override { return target_->FileExists(path); }
    bool DirectoryExists(const QString& path) override { return target_->DirectoryExists(path); }
    bool GetFileInformation(const QString& path, FileInformation* information) override {
        return target_->GetFileInformation(path, information);
    }
    bool ListDirectory(const QString& pattern, std::vector<DirEntry>* entries) override {
        return target_->ListDirectory(pattern, entries);
    }
    bool ReadFile(const QString& path, QByteArray* contents) override {
        return target_->ReadFile(path, contents);
    }
    bool WriteFile(const QString& path, const QByteArray& contents) override {
        return target_->WriteFile(path, contents);
    }
    std::unique_ptr<WritableFile> NewWritableFile(const QString& path, CreateMode mode) override {
        return target_->NewWritableFile(path, mode);
    }
    std::unique_ptr<SequentialFile> NewSequentialFile(const QString& path) override {
        return target_->NewSequentialFile(path);
    }
    bool GetDiskFreeSpaceEx(const QString& directory, uint64_t* freeBytesAvailable) override {
        return target_->GetDiskFreeSpaceEx(directory, freeBytesAvailable);
    }
    std::unique_ptr<ExclusiveFile> OpenExclusive(const QString& path) override {
        return target_->OpenExclusive(path);
    }
    uint32_t LastError() override { return target_->LastError(); }
    void SetLastError(uint32_t code) override { target_->SetLastError(code); }
    QString SystemErrorMessage(uint32_t code) override { return target_->SystemErrorMessage(code); }
    int ShellExecute(const QString& file, const QString& parameters) override {
        return target_->ShellExecute(file, parameters);
    }
    void Sleep(uint32_t milliseconds) override { target_->Sleep(milliseconds); }
    void ProcessMessages() override { target_->ProcessMessages(); }
    void MessageBox(const QString& text, const QString& title, MessageIcon icon) override {
        target_->MessageBox(text, title, icon);
    }
    void RequestTerminate() override { target_->RequestTerminate(); }
    QDateTime Now() override { return target_->Now(); }
    uint64_t GetTickCount64() override { return target_->GetTickCount64(); }
    QString CommandLine() override { return target_->CommandLine(); }
    QString HostName() override { return target_->HostName(); }
    QString ExecutablePath() override { return target_->ExecutablePath(); }
    QString FormatShortDate(const QDate& date) override { return target_->FormatShortDate(date); }
    QString FormatLongTime(const QTime& time) override { return target_->FormatLongTime(time); }

  private:
    Platform* target_;
};

}  // namespace orvalis
