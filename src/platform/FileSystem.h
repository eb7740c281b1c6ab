#pragma once

#include <string>

namespace platform {

// The character that separates path components on this platform.
wchar_t pathSeparator();

bool pathExists(const std::wstring& path);

// Creates one directory; its parent must exist. True when it was created.
bool createDirectory(const std::wstring& path);

}  // namespace platform
