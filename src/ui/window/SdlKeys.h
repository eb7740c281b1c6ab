#pragma once

#include <cstdint>

namespace ui {

// The virtual-key code (Windows numbering, as hotkey codes use) of an SDL key; 0 for keys
// without one. Modifiers come out as their side-less codes (Shift, Control, Menu), as key
// messages carry them.
uint32_t VirtualKeyOf(int32_t sdlKeycode, int32_t sdlScancode);

}  // namespace ui
