#pragma once

#include <string>

// Creates every missing directory of the path, where the path says (absolute or relative).
// A last component with an extension is taken for a file name and not created.
// True when the directories exist afterwards.
bool EnsureDirectory(const std::wstring& path);

// The text of path up to and including its last separator; empty when it has none.
std::wstring DirectoryPart(const std::wstring& path);
