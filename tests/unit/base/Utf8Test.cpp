#include "base/Utf8.h"

#include <gtest/gtest.h>

namespace {

// Malformed input is tested with the platform conversions built on these.
TEST(Utf8Test, RoundTripsEveryPlane) {
    // ASCII, two- and three-byte (CJK) and a four-byte character (outside the BMP: a
    // surrogate pair where wchar_t is 16 bits).
    const std::wstring wide = L"Aé捕获\U0001F600";
    const std::string utf8 = "A\xC3\xA9\xE6\x8D\x95\xE8\x8E\xB7\xF0\x9F\x98\x80";
    EXPECT_EQ(WideToUtf8(wide), utf8);
    EXPECT_EQ(Utf8ToWide(utf8), wide);
}

}  // namespace
