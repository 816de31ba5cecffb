#include "platform/DriveMap.h"

#include "platform/Ansi.h"
#include "platform/Platform.h"

#include <dirent.h>
#include <sys/stat.h>

namespace orvalis {

namespace {

constexpr qsizetype kMaxComponent = 255;
constexpr qsizetype kMaxPath = 260;  // MAX_PATH, counting the terminating null

bool IsAsciiLetter(QChar c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool IsInvalidNameChar(QChar c) {
    return c.unicode() < 32 || c == u'<' || c == u'>' || c == u'"' || c == u'|' || c == u'?' ||
           c == u'*' || c == u':';
}

// Collapses repeated "/", drops "." and resolves ".." by text; "/" stays "/".
std::string NormaliseNative(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    std::string result;
    for (const std::string& part : parts) result += "/" + part;
    return result.empty() ? std::string("/") : result;
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// The entry of `folder` whose name equals `name` without regard to letter case; of
// several, the one that sorts first by bytes, so that the answer does not depend on
// the order in which the file system lists them.
bool FindIgnoringCase(const std::string& folder, const QString& name, std::string* found) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return false;
    bool any = false;
    while (const dirent* entry = readdir(dir)) {
        const std::string candidate = entry->d_name;
        if (candidate == "." || candidate == "..") continue;
        if (FromUtf8(candidate).compare(name, Qt::CaseInsensitive) != 0) continue;
        if (!any || candidate < *found) *found = candidate;
        any = true;
    }
    closedir(dir);
    return any;
}

}  // namespace

DriveMap::DriveMap(const QString& mapping) {
    for (const QString& entry : mapping.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype equals = entry.indexOf(u'=');
        if (equals < 0) continue;
        QString key = entry.left(equals).trimmed();
        const std::string folder = ToUtf8(entry.mid(equals + 1).trimmed());
        if (folder.empty() || folder[0] != '/') continue;
        key.replace(u'/', u'\\');
        if (key.size() == 2 && key[1] == u':') key.chop(1);
        if (key.size() == 1 && IsAsciiLetter(key[0])) {
            Add(key.toUpper() + u':', NormaliseNative(folder));
            continue;
        }
        if (!key.startsWith(QStringLiteral("\\\\"))) continue;
        const QStringList parts = key.mid(2).split(u'\\', Qt::SkipEmptyParts);
        if (parts.size() != 2) continue;
        Add(QStringLiteral("\\\\") + parts[0] + u'\\' + parts[1], NormaliseNative(folder));
    }
    if (FindRoot(QStringLiteral("Z:")) == nullptr) Add(QStringLiteral("Z:"), "/");
}

void DriveMap::Add(const QString& key, const std::string& folder) {
    for (Root& root : roots_) {
        if (root.key.compare(key, Qt::CaseInsensitive) == 0) {
            root.folder = folder;
            return;
        }
    }
    roots_.push_back({key, folder});
}

const DriveMap::Root* DriveMap::FindRoot(const QString& key) const {
    for (const Root& root : roots_) {
        if (root.key.compare(key, Qt::CaseInsensitive) == 0) return &root;
    }
    return nullptr;
}

uint32_t DriveMap::MakeAbsolute(const QString& path, const QString& currentDirectory,
                                Absolute* result) const {
    if (path.isEmpty()) return winerror::kPathNotFound;
    QString text = path;
    text.replace(u'/', u'\\');

    QString rest;
    bool relative = false;
    bool onCurrentRoot = false;
    if (text.startsWith(QStringLiteral("\\\\"))) {
        const qsizetype serverEnd = text.indexOf(u'\\', 2);
        if (serverEnd < 0) return winerror::kPathNotFound;
        qsizetype shareEnd = text.indexOf(u'\\', serverEnd + 1);
        if (shareEnd < 0) shareEnd = text.size();
        const QString server = text.mid(2, serverEnd - 2);
        const QString share = text.mid(serverEnd + 1, shareEnd - serverEnd - 1);
        if (server.isEmpty() || share.isEmpty()) return winerror::kPathNotFound;
        for (QChar c : server + share) {
            if (IsInvalidNameChar(c)) return winerror::kInvalidName;
        }
        result->key = QStringLiteral("\\\\") + server + u'\\' + share;
        rest = text.mid(shareEnd);
    } else if (text.size() >= 2 && text[1] == u':' && IsAsciiLetter(text[0])) {
        result->key = text.left(1).toUpper() + u':';
        rest = text.mid(2);
    } else if (text.startsWith(u'\\')) {
        onCurrentRoot = true;
        rest = text;
    } else {
        relative = true;
        rest = text;
    }

    if (onCurrentRoot || relative) {
        if (currentDirectory.isEmpty()) return winerror::kPathNotFound;
        Absolute base;
        // An empty current folder for the current folder itself: a relative current
        // folder cannot be resolved and fails like an unmapped drive.
        const uint32_t code = MakeAbsolute(currentDirectory, QString(), &base);
        if (code != winerror::kSuccess) return code;
        result->key = base.key;
        if (relative) result->components = std::move(base.components);
    }

    for (QChar c : rest) {
        if (IsInvalidNameChar(c)) return winerror::kInvalidName;
    }
    for (QString component : rest.split(u'\\', Qt::SkipEmptyParts)) {
        if (component == u'.') continue;
        if (component == QStringLiteral("..")) {
            if (!result->components.empty()) result->components.pop_back();
            continue;
        }
        while (!component.isEmpty() && (component.back() == u'.' || component.back() == u' ')) {
            component.chop(1);
        }
        if (component.isEmpty()) continue;
        if (component.size() > kMaxComponent) return winerror::kFilenameTooLong;
        result->components.push_back(std::move(component));
    }

    qsizetype length = result->key.size() + 1;
    for (const QString& component : result->components) length += component.size() + 1;
    if (!result->components.empty()) --length;
    if (length + 1 > kMaxPath) return winerror::kFilenameTooLong;
    return winerror::kSuccess;
}

uint32_t DriveMap::ToNative(const QString& windowsPath, const QString& currentDirectory,
                            std::string* native) const {
    Absolute absolute;
    const uint32_t code = MakeAbsolute(windowsPath, currentDirectory, &absolute);
    if (code != winerror::kSuccess) return code;
    const Root* root = FindRoot(absolute.key);
    if (root == nullptr) return winerror::kPathNotFound;

    std::string path = root->folder;
    bool exists = true;
    for (const QString& component : absolute.components) {
        const std::string given = ToUtf8(component);
        std::string name = given;
        if (exists) {
            struct stat info;
            if (lstat(Join(path, given).c_str(), &info) != 0) {
                exists = FindIgnoringCase(path, component, &name);
                if (!exists) name = given;
            }
        }
        path = Join(path, name);
    }
    *native = std::move(path);
    return winerror::kSuccess;
}

QString DriveMap::ToWindows(const std::string& nativePath) const {
    if (nativePath.empty() || nativePath[0] != '/') return QString();
    const std::string path = NormaliseNative(nativePath);

    auto holds = [&path](const Root& root) {
        if (root.folder == "/") return true;
        return path.compare(0, root.folder.size(), root.folder) == 0 &&
               (path.size() == root.folder.size() || path[root.folder.size()] == '/');
    };
    auto before = [](const Root& a, const Root& b) {
        if (a.folder.size() != b.folder.size()) return a.folder.size() > b.folder.size();
        const bool aShare = a.key.startsWith(u'\\');
        const bool bShare = b.key.startsWith(u'\\');
        if (aShare != bShare) return !aShare;
        return a.key.compare(b.key, Qt::CaseInsensitive) < 0;
    };

    const Root* best = nullptr;
    for (const Root& root : roots_) {
        if (root.key.compare(QStringLiteral("Z:"), Qt::CaseInsensitive) == 0) continue;
        if (holds(root) && (best == nullptr || before(root, *best))) best = &root;
    }
    if (best == nullptr) {
        const Root* z = FindRoot(QStringLiteral("Z:"));
        if (z == nullptr || !holds(*z)) return QString();
        best = z;
    }

    std::string tail = best->folder == "/" ? path.substr(1) : path.substr(best->folder.size());
    if (!tail.empty() && tail[0] == '/') tail.erase(0, 1);
    QString result = best->key + u'\\' + FromUtf8(tail);
    result.replace(u'/', u'\\');
    return result;
}

}  // namespace orvalis
