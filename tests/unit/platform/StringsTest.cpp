#include "platform/Strings.h"

#include <gtest/gtest.h>

namespace {

TEST(Strings, RoundTripOfMixedScripts) {
    const std::wstring wide = L"录屏 /tmp/out/a b.mp4 \U0001F3A5 é";
    const std::string narrow = WideToAnsi(wide);
    EXPECT_EQ(narrow, "\xE5\xBD\x95\xE5\xB1\x8F /tmp/out/a b.mp4 \xF0\x9F\x8E\xA5 \xC3\xA9");
    EXPECT_EQ(AnsiToWide(narrow), wide);
}

TEST(Strings, EmptyStaysEmpty) {
    EXPECT_EQ(WideToAnsi(L""), "");
    EXPECT_EQ(AnsiToWide(""), L"");
}

TEST(Strings, InvalidBytesBecomeReplacementCharactersAndDecodingGoesOn) {
    EXPECT_EQ(AnsiToWide("a\xFF" "b"), L"a\uFFFDb");
    EXPECT_EQ(AnsiToWide("a\xE5\xBD"), L"a\uFFFD\uFFFD");           // cut short
    EXPECT_EQ(AnsiToWide("\xC0\xAF"), L"\uFFFD\uFFFD");              // overlong '/'
    EXPECT_EQ(AnsiToWide("\xED\xA0\x80" "x"), L"\uFFFD\uFFFD\uFFFDx");  // surrogate
}

TEST(Strings, UnpairedSurrogateInWideTextIsReplaced) {
    std::wstring wide = L"a";
    wide.push_back(static_cast<wchar_t>(0xD800));
    EXPECT_EQ(WideToAnsi(wide), "a\xEF\xBF\xBD");
}

}  // namespace
