#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// X keysyms to virtual-key codes: letters, digits, F1-F24, arrows and editing keys, the
// numeric keypad, modifiers with left and right told apart, punctuation and media keys.
// 0 for a keysym without a virtual key.
uint32_t virtualKeyFromKeysym(uint32_t keysym);

// The virtual key of a physical key from the keysyms the keyboard mapping gives it (unshifted
// first). The unshifted symbol decides, so a key keeps its code whatever modifiers are held;
// the shifted one is the fallback (the digit row of layouts that put symbols first), and a
// keypad key is always its digit, whether Num Lock is on or not.
uint32_t virtualKeyFromKeysyms(const uint32_t* keysyms, size_t count);

// The name a US keyboard shows for the key ("F8", "A", "Page Up", "Right Ctrl"); empty when
// the code has none.
std::wstring virtualKeyName(uint32_t vk);

}  // namespace platform
