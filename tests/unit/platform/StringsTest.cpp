#include "platform/Strings.h"

#include <gtest/gtest.h>

namespace {

TEST(Strings, Utf8BothWaysAndInvalidInputReplacedWithoutStopping) {
    const std::wstring wide = L"录屏 /tmp/out/a b.mp4 \U0001F3A5 é";
    const std::string narrow =
        "\xE5\xBD\x95\xE5\xB1\x8F /tmp/out/a b.mp4 \xF0\x9F\x8E\xA5 \xC3\xA9";
    EXPECT_EQ(WideToAnsi(wide), narrow);
    EXPECT_EQ(AnsiToWide(narrow), wide);
    EXPECT_EQ(AnsiToWide(""), L"");
    const std::pair<std::string, std::wstring> invalid[] = {
        {"a\xFF"
         "b",
         L"a\uFFFDb"},
        {"a\xE5\xBD", L"a\uFFFD\uFFFD"},  // cut short
        {"\xC0\xAF", L"\uFFFD\uFFFD"},    // overlong '/'
        {"\xED\xA0\x80"
         "x",
         L"\uFFFD\uFFFD\uFFFDx"}};  // surrogate
    for (const auto& [bytes, text] : invalid) {
        EXPECT_EQ(AnsiToWide(bytes), text) << bytes;
    }
    std::wstring unpaired = L"a";
    unpaired.push_back(static_cast<wchar_t>(0xD800));
    EXPECT_EQ(WideToAnsi(unpaired), "a\xEF\xBF\xBD");
}

}  // namespace
