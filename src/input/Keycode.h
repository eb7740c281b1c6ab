#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Hotkey codes: six ASCII characters, "1" or "0" for Ctrl, left Shift and Alt, then the
// virtual-key code in decimal padded to three digits ("000119" is F8 alone, "110119"
// Ctrl+left Shift+F8). They are stored in the settings file, so the format is fixed.
class Keycode {
  public:
    // The virtual key's digits: three, zero-padded (more only for codes above 999).
    static std::string keyDigits(uint32_t vk);

    // What the keyboard hook sends for a key-down: the modifier digits and the key's digits,
    // or "000" alone for the generic Shift, Ctrl and Alt codes (16, 17, 18), which match no
    // hotkey.
    static std::string forKeyDown(bool ctrl, bool leftShift, bool alt, uint32_t vk);

    // What the key-entry control stores for a key: always six characters; the generic
    // modifier codes and 0 give "000" as the key part (Ctrl alone is "100000").
    static std::string forKeyEntry(bool ctrl, bool leftShift, bool alt, uint32_t vk);

    // The text shown for a code: "Ctrl ", "Shift ", "Alt " for the set flags, then the key's
    // name from keyName ("Ctrl Shift F8"). A code too short for a flag leaves it out; a key
    // part that is not three digits gives no name.
    static std::wstring displayText(const std::wstring& keycode,
                                    const std::function<std::wstring(uint32_t)>& keyName);
};
