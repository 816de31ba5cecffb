#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace orvalis {

// The drive letters and network shares of the Windows paths, each mapped to a native
// folder, and the translation of paths between the two forms.
//
// The mapping text is a list of `key=folder` separated by ";": a key is a drive letter
// (`C` or `C:`) or a share (`\\servidor\dados`, `/` accepted for `\`), a folder an
// absolute native path (`C=/srv/c;\\servidor\dados=/srv/dados`). Letter case of keys is
// ignored; a later entry for a key replaces an earlier one; malformed entries and
// relative folders are ignored. `Z:` is `/` unless the text maps it.
class DriveMap {
  public:
    explicit DriveMap(const QString& mapping);

    // Translates a Windows path. `\` and `/` both separate; "X:\..." is on drive X and
    // "X:" (with or without more text after it) starts at that drive's root; a leading
    // single separator is the root of the current folder's drive or share; any other
    // path is relative to `currentDirectory` (a Windows absolute path, possibly empty).
    // "." and ".." are resolved by text, ".." stopping at the root; trailing blanks and
    // dots of a name are dropped, as Windows does. Every component that exists is
    // spelled as on disk (exact spelling first, else the first match without regard to
    // letter case); the others keep the given spelling.
    //
    // Returns kSuccess and sets `*native`, or: kPathNotFound for an empty path, an
    // unmapped drive or share, or a relative path without a current folder;
    // kInvalidName for one of `< > " | ? *`, a control character, or a ":" other than
    // the drive's; kFilenameTooLong for a name over 255 characters or a full path that
    // does not fit in MAX_PATH (260 with its terminating null).
    uint32_t ToNative(const QString& windowsPath, const QString& currentDirectory,
                      std::string* native) const;

    // The Windows form of an absolute native path: through the mapping whose folder is
    // the longest prefix of it on a component boundary (drive letters before shares,
    // then alphabetical, at equal length), `Z:` only when no other fits. "." and ".."
    // are resolved by text. Empty when the path is relative or no mapping holds it.
    QString ToWindows(const std::string& nativePath) const;

  private:
    struct Root {
        QString key;         // "C:" or "\\servidor\dados"
        std::string folder;  // native, no trailing "/" except for "/" itself
    };

    // A Windows path made absolute: its root key and its components.
    struct Absolute {
        QString key;
        std::vector<QString> components;
    };

    uint32_t MakeAbsolute(const QString& path, const QString& currentDirectory,
                          Absolute* result) const;
    const Root* FindRoot(const QString& key) const;
    void Add(const QString& key, const std::string& folder);

    std::vector<Root> roots_;
};

}  // namespace orvalis
