#include "ui/render/ImageDescriptor.h"

#include <cctype>
#include <cstdlib>
#include <limits>

namespace ui {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// A decimal integer with an optional sign, surrounded by optional blanks, nothing else.
bool parseInt(std::string_view s, int64_t min, int64_t max, int32_t& out) {
    s = trim(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || s.size() > 10) {
        return false;
    }
    int64_t value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    value = negative ? -value : value;
    if (value < min || value > max) {
        return false;
    }
    out = static_cast<int32_t>(value);
    return true;
}

// "l,t,r,b" with optional blanks around the numbers.
bool parseRect(std::string_view s, Rect& out) {
    int32_t v[4] = {};
    for (int i = 0; i < 4; ++i) {
        const size_t comma = i < 3 ? s.find(',') : std::string_view::npos;
        if (i < 3 && comma == std::string_view::npos) {
            return false;
        }
        constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
        constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
        if (!parseInt(s.substr(0, comma), kMin, kMax, v[i])) {
            return false;
        }
        s = i < 3 ? s.substr(comma + 1) : std::string_view{};
    }
    out = Rect{v[0], v[1], v[2], v[3]};
    return true;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool apply(std::string_view name, std::string_view value, ImageDescriptor& d) {
    if (name == "file") {
        d.file = std::string(value);
        return !d.file.empty();
    }
    if (name == "res") {
        return parseInt(value, 0, std::numeric_limits<int32_t>::max(), d.res);
    }
    if (name == "restype") {
        d.restype = std::string(value);
        return true;
    }
    if (name == "source") {
        d.hasSource = true;
        return parseRect(value, d.source);
    }
    if (name == "dest") {
        d.hasDest = true;
        return parseRect(value, d.dest);
    }
    if (name == "corner" || name == "scale9") {
        return parseRect(value, d.corner);
    }
    if (name == "hole") {
        if (!equalsNoCase(value, "true") && !equalsNoCase(value, "false")) {
            return false;
        }
        d.hole = equalsNoCase(value, "true");
        return true;
    }
    if (name == "fade") {
        int32_t fade = 0;
        if (!parseInt(value, 0, 255, fade)) {
            return false;
        }
        d.fade = static_cast<uint8_t>(fade);
        return true;
    }
    // Attributes this renderer does not use (mask, xtiled, ...) are allowed and ignored.
    return true;
}

}  // namespace

bool ImageDescriptor::parse(std::string_view text, ImageDescriptor& out) {
    out = ImageDescriptor{};
    text = trim(text);
    if (text.empty()) {
        return false;
    }
    if (text.find('=') == std::string_view::npos) {
        out.file = std::string(text);
        return true;
    }
    size_t i = 0;
    while (i < text.size()) {
        if (isBlank(text[i])) {
            ++i;
            continue;
        }
        const size_t eq = text.find('=', i);
        if (eq == std::string_view::npos) {
            return false;
        }
        const std::string_view name = trim(text.substr(i, eq - i));
        if (name.empty()) {
            return false;
        }
        for (char c : name) {
            if (isBlank(c) || c == '\'' || c == '"') {
                return false;
            }
        }
        i = eq + 1;
        while (i < text.size() && isBlank(text[i])) {
            ++i;
        }
        std::string_view value;
        if (i < text.size() && (text[i] == '\'' || text[i] == '"')) {
            const char quote = text[i];
            const size_t close = text.find(quote, i + 1);
            if (close == std::string_view::npos) {
                return false;
            }
            value = text.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            size_t end = i;
            while (end < text.size() && !isBlank(text[end])) {
                ++end;
            }
            value = text.substr(i, end - i);
            i = end;
        }
        if (!apply(name, value, out)) {
            return false;
        }
    }
    return out.res >= 0 || !out.file.empty();
}

}  // namespace ui
