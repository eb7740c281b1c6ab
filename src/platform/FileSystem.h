#pragma once

#include <cstdio>
#include <string>

namespace platform {

// The character that separates path components on this platform.
wchar_t pathSeparator();

bool pathExists(const std::wstring& path);

// Creates one directory; its parent must exist. True when it was created.
bool createDirectory(const std::wstring& path);

// Puts the file `from` in the place of `to` (in the same folder) in one step, once its bytes
// are on the disk, so that a crash or a power cut leaves one of the two whole. False leaves
// both as they were.
bool replaceFile(const std::wstring& from, const std::wstring& to);

// fopen by the file's wide name (on Windows the narrow one would go through the ANSI code
// page and lose every character outside it). The mode is fopen's; null when it fails.
std::FILE* openFile(const std::wstring& path, const char* mode);

}  // namespace platform
