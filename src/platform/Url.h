#pragma once

#include <string>

namespace platform {

// Hands the address to the desktop's opener without a shell in between. Returns false when
// the opener could not be started; never waits for it.
bool openUrl(const std::string& url);

// The folder of the running program, with a trailing separator.
std::string executableDirectory();

}  // namespace platform
