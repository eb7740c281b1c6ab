// The display text of a hotkey code, as a settings file or a key press may hand it over: any
// bytes at all must give a text without reading past the code, and a well-formed code must give
// its modifiers followed by the key's own name.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "input/Keycode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring code;
    for (size_t i = 0; i < size; ++i) {
        code.push_back(static_cast<wchar_t>(data[i]));
    }
    uint32_t asked = 0;
    const auto keyName = [&asked](uint32_t vk) {
        asked = vk;
        return L"K" + std::to_wstring(vk);
    };
    const std::wstring text = Keycode::displayText(code, keyName);

    const bool wellFormed =
        code.size() == 6 && (code[0] == L'0' || code[0] == L'1') &&
        (code[1] == L'0' || code[1] == L'1') && (code[2] == L'0' || code[2] == L'1') &&
        code[3] >= L'0' && code[3] <= L'9' && code[4] >= L'0' && code[4] <= L'9' &&
        code[5] >= L'0' && code[5] <= L'9';
    if (wellFormed) {
        std::wstring expected;
        if (code[0] == L'1') expected += L"Ctrl ";
        if (code[1] == L'1') expected += L"Shift ";
        if (code[2] == L'1') expected += L"Alt ";
        const uint32_t vk = static_cast<uint32_t>((code[3] - L'0') * 100 + (code[4] - L'0') * 10 +
                                                  (code[5] - L'0'));
        expected += L"K" + std::to_wstring(vk);
        FUZZ_CHECK(text == expected, "code of %zu characters", code.size());
        FUZZ_CHECK(asked == vk, "key %u named, %u expected", asked, vk);
    }
    return 0;
}
