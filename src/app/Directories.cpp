#include "app/Directories.h"

#include "platform/FileSystem.h"

namespace {

bool isSeparator(wchar_t c) { return c == platform::pathSeparator(); }

// The extension of the last component, as the shell's path functions see it: from its last
// '.' on, even when that is all there is.
bool lastComponentHasExtension(const std::wstring& path) {
    const size_t sep = path.find_last_of(platform::pathSeparator());
    const size_t dot = path.find_last_of(L'.');
    return dot != std::wstring::npos && (sep == std::wstring::npos || dot > sep);
}

std::wstring removeFileSpec(const std::wstring& path) {
    const size_t sep = path.find_last_of(platform::pathSeparator());
    if (sep == std::wstring::npos) {
        return std::wstring();
    }
    return path.substr(0, sep == 0 ? 1 : sep);  // keep a lone root separator
}

// Prefixes that name no directory we could create: a root made of separators only, a drive
// ("C:"), and the server and share of a network path (two leading separators).
bool isUncreatableRoot(const std::wstring& prefix, size_t separatorsSeen, bool networkPath) {
    if (prefix.find_first_not_of(platform::pathSeparator()) == std::wstring::npos) {
        return true;
    }
    if (prefix.size() == 2 && prefix[1] == L':') {
        return true;
    }
    return networkPath && separatorsSeen < 4;
}

bool ensureOne(const std::wstring& prefix) {
    return platform::pathExists(prefix) || platform::createDirectory(prefix) ||
           platform::pathExists(prefix);  // created meanwhile by someone else
}

}  // namespace

bool EnsureDirectory(const std::wstring& input) {
    if (platform::pathExists(input)) {
        return true;
    }
    std::wstring path = input;
    if (lastComponentHasExtension(path)) {
        path = removeFileSpec(path);
        if (path.empty() || platform::pathExists(path)) {
            return true;
        }
    }
    if (path.find_first_not_of(std::wstring(L".") + platform::pathSeparator()) ==
        std::wstring::npos) {
        return true;  // only dots and separators: the current folder or a root
    }

    const bool networkPath = path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]);
    size_t separatorsSeen = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (!isSeparator(path[i])) {
            continue;
        }
        const std::wstring prefix = path.substr(0, i);
        if (!isUncreatableRoot(prefix, separatorsSeen, networkPath) && !ensureOne(prefix)) {
            return false;
        }
        ++separatorsSeen;
    }
    return ensureOne(path);
}

std::wstring DirectoryPart(const std::wstring& path) {
    const size_t sep = path.find_last_of(platform::pathSeparator());
    return sep == std::wstring::npos ? std::wstring() : path.substr(0, sep + 1);
}
