#pragma once

#include <cstdint>

namespace platform {

// A window as the system names it (an X window id, an HWND); 0 is none.
using NativeWindow = uint64_t;

}  // namespace platform
