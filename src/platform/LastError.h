#pragma once

#include <string>

namespace platform {

// The system's text for the calling thread's last error, in the narrow code page, without a
// trailing line break. Call it before anything else can overwrite the error.
std::string lastErrorText();

}  // namespace platform
