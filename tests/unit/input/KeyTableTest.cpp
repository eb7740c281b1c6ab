// The X keysym table of the Linux hooks.
#include "platform/linux/KeyTable.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/VirtualKeys.h"

namespace {

using platform::virtualKeyFromKeysym;
using platform::virtualKeyFromKeysyms;
using platform::virtualKeyName;

TEST(KeyTable, LettersDigitsAndFunctionKeys) {
    EXPECT_EQ(virtualKeyFromKeysym(XK_a), 0x41u);
    EXPECT_EQ(virtualKeyFromKeysym(XK_Z), 0x5Au);
    EXPECT_EQ(virtualKeyFromKeysym(XK_z), 0x5Au);
    EXPECT_EQ(virtualKeyFromKeysym(XK_0), 0x30u);
    EXPECT_EQ(virtualKeyFromKeysym(XK_9), 0x39u);
    EXPECT_EQ(virtualKeyFromKeysym(XK_F1), 112u);
    EXPECT_EQ(virtualKeyFromKeysym(XK_F8), 119u);
    EXPECT_EQ(virtualKeyFromKeysym(XK_F10), 121u);
    EXPECT_EQ(virtualKeyFromKeysym(XK_F24), 135u);
}

TEST(KeyTable, ModifiersAreToldApartBySide) {
    EXPECT_EQ(virtualKeyFromKeysym(XK_Shift_L), vk::LShift);
    EXPECT_EQ(virtualKeyFromKeysym(XK_Shift_R), vk::RShift);
    EXPECT_EQ(virtualKeyFromKeysym(XK_Control_L), vk::LControl);
    EXPECT_EQ(virtualKeyFromKeysym(XK_Control_R), vk::RControl);
    EXPECT_EQ(virtualKeyFromKeysym(XK_Alt_L), vk::LMenu);
    EXPECT_EQ(virtualKeyFromKeysym(XK_Alt_R), vk::RMenu);
    EXPECT_EQ(virtualKeyFromKeysym(XK_ISO_Level3_Shift), vk::RMenu);
    EXPECT_EQ(virtualKeyFromKeysym(XK_Super_L), vk::LWin);
}

TEST(KeyTable, EditingNavigationKeypadAndPunctuation) {
    const std::vector<std::pair<uint32_t, uint32_t>> pairs = {
        {XK_Left, 0x25},         {XK_Up, 0x26},           {XK_Right, 0x27},
        {XK_Down, 0x28},         {XK_Prior, 0x21},        {XK_Next, 0x22},
        {XK_Home, 0x24},         {XK_End, 0x23},          {XK_Insert, 0x2D},
        {XK_Delete, 0x2E},       {XK_BackSpace, 0x08},    {XK_Return, 0x0D},
        {XK_Escape, 0x1B},       {XK_space, 0x20},        {XK_Tab, 0x09},
        {XK_Print, 0x2C},        {XK_KP_0, 0x60},         {XK_KP_9, 0x69},
        {XK_KP_Add, 0x6B},       {XK_KP_Enter, 0x0D},     {XK_KP_Divide, 0x6F},
        {XK_Num_Lock, 0x90},     {XK_semicolon, 0xBA},    {XK_equal, 0xBB},
        {XK_comma, 0xBC},        {XK_minus, 0xBD},        {XK_period, 0xBE},
        {XK_slash, 0xBF},        {XK_grave, 0xC0},        {XK_bracketleft, 0xDB},
        {XK_backslash, 0xDC},    {XK_bracketright, 0xDD}, {XK_apostrophe, 0xDE},
        {XF86XK_AudioMute, 0xAD}};
    for (const auto& [keysym, code] : pairs) {
        EXPECT_EQ(virtualKeyFromKeysym(keysym), code) << std::hex << keysym;
    }
    EXPECT_EQ(virtualKeyFromKeysym(XK_eacute), 0u);
    EXPECT_EQ(virtualKeyFromKeysym(0), 0u);
}

TEST(KeyTable, ThePhysicalKeyTakesItsUnshiftedSymbolFirst) {
    const auto of = [](std::vector<uint32_t> syms) {
        return virtualKeyFromKeysyms(syms.data(), syms.size());
    };
    EXPECT_EQ(of({XK_a, XK_A}), 0x41u);
    EXPECT_EQ(of({XK_1, XK_exclam}), 0x31u);
    EXPECT_EQ(of({XK_semicolon, XK_colon}), 0xBAu);
    // A symbol-first digit row (as on French layouts) still gives the digit.
    EXPECT_EQ(of({XK_ampersand, XK_1}), 0x31u);
    // Keypad keys are their digit whatever Num Lock says.
    EXPECT_EQ(of({XK_KP_Insert, XK_KP_0}), 0x60u);
    EXPECT_EQ(of({XK_KP_Delete, XK_KP_Decimal}), 0x6Eu);
    // Only the first group counts: the third column is another layout.
    EXPECT_EQ(of({XK_eacute, XK_Eacute, XK_a}), 0u);
    EXPECT_EQ(of({}), 0u);
}

TEST(KeyTable, NamesAsTheKeyboardShowsThem) {
    EXPECT_EQ(virtualKeyName(vk::F8), L"F8");
    EXPECT_EQ(virtualKeyName(vk::F24), L"F24");
    EXPECT_EQ(virtualKeyName('A'), L"A");
    EXPECT_EQ(virtualKeyName('7'), L"7");
    EXPECT_EQ(virtualKeyName(vk::LControl), L"Ctrl");
    EXPECT_EQ(virtualKeyName(vk::RControl), L"Right Ctrl");
    EXPECT_EQ(virtualKeyName(vk::Shift), L"Shift");
    EXPECT_EQ(virtualKeyName(vk::RMenu), L"Right Alt");
    // Extended keys have their own names, not those of the keypad keys sharing their scan code.
    EXPECT_EQ(virtualKeyName(vk::Left), L"Left");
    EXPECT_EQ(virtualKeyName(vk::Prior), L"Page Up");
    EXPECT_EQ(virtualKeyName(vk::Numpad0 + 4), L"Num 4");
    EXPECT_EQ(virtualKeyName(vk::Oem1), L";");
    EXPECT_EQ(virtualKeyName(0), L"");
    EXPECT_EQ(virtualKeyName(0xFF), L"");
}

}  // namespace
