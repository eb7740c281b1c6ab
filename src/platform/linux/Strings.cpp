#include "platform/Strings.h"

#include <cstdint>

// UTF-8 is the code page of a Linux desktop. Conversions are written out by hand so that
// they do not depend on the process locale.

std::string WideToAnsi(const std::wstring& wide) {
    std::string out;
    out.reserve(wide.size());
    for (wchar_t wc : wide) {
        auto c = static_cast<uint32_t>(wc);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::wstring AnsiToWide(const std::string& narrow) {
    std::wstring out;
    out.reserve(narrow.size());
    size_t i = 0;
    const size_t n = narrow.size();
    while (i < n) {
        const auto b0 = static_cast<uint8_t>(narrow[i]);
        uint32_t c = 0xFFFD;
        size_t len = 1;
        if (b0 < 0x80) {
            c = b0;
        } else if ((b0 & 0xE0) == 0xC0) {
            len = 2;
            c = b0 & 0x1F;
        } else if ((b0 & 0xF0) == 0xE0) {
            len = 3;
            c = b0 & 0x0F;
        } else if ((b0 & 0xF8) == 0xF0) {
            len = 4;
            c = b0 & 0x07;
        } else {
            out.push_back(static_cast<wchar_t>(0xFFFD));
            ++i;
            continue;
        }
        bool valid = i + len <= n;
        for (size_t k = 1; valid && k < len; ++k) {
            const auto b = static_cast<uint8_t>(narrow[i + k]);
            if ((b & 0xC0) != 0x80) {
                valid = false;
            } else {
                c = (c << 6) | (b & 0x3F);
            }
        }
        static const uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (!valid || c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out.push_back(static_cast<wchar_t>(0xFFFD));
            ++i;  // resynchronise on the next byte
            continue;
        }
        out.push_back(static_cast<wchar_t>(c));
        i += len;
    }
    return out;
}
