#include "base/Utf8.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf8Test, RoundTripsEveryPlane) {
    // ASCII, two- and three-byte (CJK) and a four-byte character (outside the BMP: a
    // surrogate pair where wchar_t is 16 bits).
    const std::wstring wide = L"Aé捕获\U0001F600";
    const std::string utf8 = "A\xC3\xA9\xE6\x8D\x95\xE8\x8E\xB7\xF0\x9F\x98\x80";
    EXPECT_EQ(WideToUtf8(wide), utf8);
    EXPECT_EQ(Utf8ToWide(utf8), wide);
}

TEST(Utf8Test, MalformedInputBecomesReplacementCharacters) {
    struct Case {
        const char* what;
        std::string utf8;
        std::wstring wide;
    };
    const Case cases[] = {
        {"a stray continuation byte", "a\x80z", L"a\uFFFDz"},
        {"a sequence cut short at the end", "a\xE6\x8D", L"a\uFFFD"},
        {"an overlong encoding", "\xC0\xAF", L"\uFFFD\uFFFD"},
        {"an encoded surrogate", "\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToWide(c.utf8), c.wide) << c.what;
    }
}

}  // namespace
