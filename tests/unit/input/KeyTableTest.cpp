// The X keysym table of the Linux hooks: where it computes rather than looks up.
#include "platform/linux/KeyTable.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/VirtualKeys.h"

namespace {

// A physical key is its unshifted symbol in the first group; letters and function keys by range.
TEST(KeyTable, APhysicalKeyIsItsUnshiftedSymbolInTheFirstGroup) {
    // clang-format off
    const std::pair<std::vector<uint32_t>, uint32_t> cases[] = {
        {{XK_a, XK_A}, 'A'}, {{XK_z}, 'Z'}, {{XK_Z}, 'Z'}, {{XK_F1}, vk::F1}, {{XK_F8}, vk::F8},
        {{XK_F24}, vk::F24}, {{XK_Shift_R}, vk::RShift}, {{XK_1, XK_exclam}, '1'},
        {{XK_ampersand, XK_1}, '1'},  // a symbol-first digit row (French) still gives the digit
        {{XK_KP_Insert, XK_KP_0}, vk::Numpad0},  // keypad keys whatever Num Lock says
        {{XK_KP_Delete, XK_KP_Decimal}, 0x6E},
        {{XK_eacute, XK_Eacute, XK_a}, 0},  // the third column is another layout
        {{}, 0}};
    // clang-format on
    for (const auto& [syms, code] : cases) {
        EXPECT_EQ(platform::virtualKeyFromKeysyms(syms.data(), syms.size()), code)
            << ::testing::PrintToString(syms);
    }
}

}  // namespace
