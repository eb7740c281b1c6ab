#include "input/Keycode.h"

#include <gtest/gtest.h>

#include "flux/InputRouter.h"
#include "input/InputManager.h"
#include "platform/VirtualKeys.h"

namespace {

TEST(Keycode, KeyDownCodesCarryTheModifierDigitsThenThreeKeyDigits) {
    EXPECT_EQ(Keycode::forKeyDown(false, false, false, vk::F8), "000119");
    EXPECT_EQ(Keycode::forKeyDown(true, true, false, vk::F8), "110119");
    EXPECT_EQ(Keycode::forKeyDown(false, false, true, 'A'), "001065");
    EXPECT_EQ(Keycode::forKeyDown(true, false, false, vk::LControl), "100162");
    // Padding at each width of the key number.
    EXPECT_EQ(Keycode::forKeyDown(false, false, false, 0), "000000");
    EXPECT_EQ(Keycode::forKeyDown(false, false, false, 9), "000009");
    EXPECT_EQ(Keycode::forKeyDown(false, false, false, 10), "000010");
    EXPECT_EQ(Keycode::forKeyDown(false, false, false, 99), "000099");
    EXPECT_EQ(Keycode::forKeyDown(false, false, false, 100), "000100");
    EXPECT_EQ(Keycode::forKeyDown(false, false, false, 255), "000255");
}

TEST(Keycode, GenericModifiersSendThreeZerosAloneOnKeyDown) {
    for (uint32_t code : {vk::Shift, vk::Control, vk::Menu}) {
        EXPECT_EQ(Keycode::forKeyDown(false, false, false, code), "000") << code;
        EXPECT_EQ(Keycode::forKeyDown(true, true, true, code), "000") << code;
    }
}

TEST(Keycode, KeyEntryCodesAreAlwaysSixCharacters) {
    EXPECT_EQ(Keycode::forKeyEntry(true, false, false, vk::Control), "100000");
    EXPECT_EQ(Keycode::forKeyEntry(false, true, false, vk::Shift), "010000");
    EXPECT_EQ(Keycode::forKeyEntry(false, false, true, vk::Menu), "001000");
    EXPECT_EQ(Keycode::forKeyEntry(false, false, false, 0), "000000");
    EXPECT_EQ(Keycode::forKeyEntry(true, true, false, vk::F8), "110119");
    EXPECT_EQ(Keycode::forKeyEntry(false, false, false, 7), "000007");
    // The sided modifier codes are ordinary keys.
    EXPECT_EQ(Keycode::forKeyEntry(true, false, false, vk::LControl), "100162");
}

TEST(Keycode, DisplayTextNamesTheFlagsThenTheKey) {
    InputManager& manager = InputRouter::manager();
    EXPECT_EQ(manager.keycodeText(L"000119"), L"F8");
    EXPECT_EQ(manager.keycodeText(L"110119"), L"Ctrl Shift F8");
    EXPECT_EQ(manager.keycodeText(L"001065"), L"Alt A");
    EXPECT_EQ(manager.keycodeText(L"111120"), L"Ctrl Shift Alt F9");
    EXPECT_EQ(manager.keycodeText(L"000121"), L"F10");
    EXPECT_EQ(manager.keycodeText(L"100048"), L"Ctrl 0");
    // A key without a name leaves only the flags.
    EXPECT_EQ(manager.keycodeText(L"100000"), L"Ctrl ");
}

TEST(Keycode, DisplayTextOfMalformedCodesNeverReadsPastTheText) {
    // Codes can come from a hand-edited settings file.
    EXPECT_EQ(Keycode::displayText(L"", nullptr), L"");
    EXPECT_EQ(Keycode::displayText(L"1", nullptr), L"Ctrl ");
    EXPECT_EQ(Keycode::displayText(L"01", nullptr), L"Shift ");
    int calls = 0;
    const auto name = [&calls](uint32_t code) {
        ++calls;
        return L"<" + std::to_wstring(code) + L">";
    };
    EXPECT_EQ(Keycode::displayText(L"11x", name), L"Ctrl Shift ");
    EXPECT_EQ(Keycode::displayText(L"100F8", name), L"Ctrl ");
    EXPECT_EQ(calls, 0);
    // The last three characters are the key, whatever the length.
    EXPECT_EQ(Keycode::displayText(L"000", name), L"<0>");
    EXPECT_EQ(Keycode::displayText(L"0010065", name), L"Alt <65>");
    EXPECT_EQ(calls, 2);
}

}  // namespace
