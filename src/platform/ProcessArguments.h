#pragma once

#include <string>
#include <vector>

namespace platform {

// The program's arguments as wide strings, the program's name first. On Windows they are
// split from the wide command line (CommandLineToArgvW), so no character is lost to the ANSI
// code page, and argc/argv are not read; elsewhere argv is converted from the locale's
// encoding.
std::vector<std::wstring> processArguments(int argc, char** argv);

}  // namespace platform
