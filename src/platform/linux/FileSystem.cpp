#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/Strings.h"

namespace platform {

wchar_t pathSeparator() {
    return L'/';
}

bool pathExists(const std::wstring& path) {
    struct stat st {};
    return ::stat(WideToAnsi(path).c_str(), &st) == 0;
}

bool createDirectory(const std::wstring& path) {
    return ::mkdir(WideToAnsi(path).c_str(), 0777) == 0;
}

bool replaceFile(const std::wstring& from, const std::wstring& to) {
    const std::string source = WideToAnsi(from);
    const std::string target = WideToAnsi(to);
    const int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    if (!synced || std::rename(source.c_str(), target.c_str()) != 0) {
        return false;
    }
    // The rename itself survives a power cut once the folder is on the disk too (best
    // effort: the file is in place either way).
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

std::FILE* openFile(const std::wstring& path, const char* mode) {
    return std::fopen(WideToAnsi(path).c_str(), mode);
}

}  // namespace platform
