#include "platform/FileSystem.h"

#include <sys/stat.h>

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

std::FILE* openFile(const std::wstring& path, const char* mode) {
    return std::fopen(WideToAnsi(path).c_str(), mode);
}

}  // namespace platform
