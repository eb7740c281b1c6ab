#include "input/Keycode.h"

#include "platform/VirtualKeys.h"

namespace {

bool isGenericModifier(uint32_t vk) {
    return vk == vk::Shift || vk == vk::Control || vk == vk::Menu;
}

std::string modifierDigits(bool ctrl, bool leftShift, bool alt) {
    std::string digits;
    digits += ctrl ? '1' : '0';
    digits += leftShift ? '1' : '0';
    digits += alt ? '1' : '0';
    return digits;
}

}  // namespace

std::string Keycode::keyDigits(uint32_t vk) {
    std::string digits = std::to_string(vk);
    if (digits.size() < 3) {
        digits.insert(0, 3 - digits.size(), '0');
    }
    return digits;
}

std::string Keycode::forKeyDown(bool ctrl, bool leftShift, bool alt, uint32_t vk) {
    if (isGenericModifier(vk)) {
        return "000";
    }
    return modifierDigits(ctrl, leftShift, alt) + keyDigits(vk);
}

std::string Keycode::forKeyEntry(bool ctrl, bool leftShift, bool alt, uint32_t vk) {
    const uint32_t key = isGenericModifier(vk) ? 0 : vk;
    return modifierDigits(ctrl, leftShift, alt) + keyDigits(key);
}

std::wstring Keycode::displayText(const std::wstring& keycode,
                                  const std::function<std::wstring(uint32_t)>& keyName) {
    std::wstring text;
    static const wchar_t* const kFlags[3] = {L"Ctrl ", L"Shift ", L"Alt "};
    for (size_t i = 0; i < 3 && i < keycode.size(); ++i) {
        if (keycode[i] == L'1') {
            text += kFlags[i];
        }
    }
    if (keycode.size() < 3) {
        return text;
    }
    uint32_t vk = 0;
    for (size_t i = keycode.size() - 3; i < keycode.size(); ++i) {
        if (keycode[i] < L'0' || keycode[i] > L'9') {
            return text;
        }
        vk = vk * 10 + static_cast<uint32_t>(keycode[i] - L'0');
    }
    if (keyName) {
        text += keyName(vk);
    }
    return text;
}
