#include "ui/core/Attributes.h"

#include <cctype>

namespace ui {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())) != 0) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())) != 0) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

bool parseInt(std::string_view text, int32_t& value) {
    text = trimmed(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 10) {
        return false;
    }
    int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        v = v * 10 + (c - '0');
    }
    if (v > INT32_MAX) {
        return false;
    }
    value = static_cast<int32_t>(negative ? -v : v);
    return true;
}

bool parseBool(std::string_view text, bool& value) {
    text = trimmed(text);
    if (text == "true") {
        value = true;
        return true;
    }
    if (text == "false") {
        value = false;
        return true;
    }
    return false;
}

bool parseInts(std::string_view text, int32_t* values, size_t count) {
    int32_t parsed[8] = {};
    size_t n = 0;
    while (true) {
        const size_t comma = text.find(',');
        if (n == count || n == 8 || !parseInt(text.substr(0, comma), parsed[n])) {
            return false;
        }
        ++n;
        if (comma == std::string_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
    }
    for (size_t i = 0; i < count; ++i) {
        values[i] = i < n ? parsed[i] : 0;
    }
    return true;
}

bool parseRect(std::string_view text, Rect& rect) {
    int32_t v[4];
    if (!parseInts(text, v, 4)) {
        return false;
    }
    rect = Rect{v[0], v[1], v[2], v[3]};
    return true;
}

bool parseSize(std::string_view text, Size& size) {
    int32_t v[2];
    if (!parseInts(text, v, 2)) {
        return false;
    }
    size = Size{v[0], v[1]};
    return true;
}

std::vector<std::pair<std::string, std::string>> parseAttributeList(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> out;
    while (true) {
        text = trimmed(text);
        const size_t eq = text.find('=');
        if (text.empty() || eq == std::string_view::npos || eq + 1 >= text.size()) {
            return out;
        }
        const char quote = text[eq + 1];
        if (quote != '"' && quote != '\'') {
            return out;
        }
        const size_t end = text.find(quote, eq + 2);
        if (end == std::string_view::npos) {
            return out;
        }
        out.emplace_back(std::string(trimmed(text.substr(0, eq))),
                         std::string(text.substr(eq + 2, end - eq - 2)));
        text.remove_prefix(end + 1);
    }
}

}  // namespace ui
