#pragma once

#include <string>

namespace platform {

// Hands the address to the desktop's opener without a shell in between. Returns false when
// the opener could not be started; never waits for it.
bool openUrl(const std::string& url);

// The folder of the running program, with a trailing separator.
std::string executableDirectory();

// The folder of the program's data files (the help page), with a trailing separator: for a
// program in <prefix>/bin with <prefix>/share/screen-capturer/ beside it (the Linux package's
// layout) that folder, else the program's own folder (a build tree, the Windows install).
std::string dataDirectory();

// The same choice for a given program folder (with its trailing separator).
std::string dataDirectoryOf(const std::string& programFolder);

}  // namespace platform
