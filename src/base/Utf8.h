#pragma once

#include <string>
#include <string_view>

// UTF-8 and wide strings, whatever the width of wchar_t (UTF-32 on Linux, UTF-16 on
// Windows). Malformed input becomes U+FFFD rather than being dropped or read past its end.
std::string WideToUtf8(std::wstring_view wide);
std::wstring Utf8ToWide(std::string_view utf8);
// The code points of a wide string (surrogate pairs joined where wchar_t is 16 bits).
std::u32string WideToCodePoints(std::wstring_view wide);
// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t c);
