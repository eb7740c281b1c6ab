#pragma once

#include <cstdio>
#include <string>

namespace platform {

// The character that separates path components on this platform.
wchar_t pathSeparator();

bool pathExists(const std::wstring& path);

// Creates one directory; its parent must exist. True when it was created.
bool createDirectory(const std::wstring& path);

// fopen by the file's wide name (on Windows the narrow one would go through the ANSI code
// page and lose every character outside it). The mode is fopen's; null when it fails.
std::FILE* openFile(const std::wstring& path, const char* mode);

}  // namespace platform
