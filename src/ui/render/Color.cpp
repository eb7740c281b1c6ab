#include "ui/render/Color.h"

namespace ui {

bool parseColor(std::string_view text, Argb& colour) {
    if (!text.empty() && text.front() == '#') {
        text.remove_prefix(1);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    } else {
        return false;
    }
    if (text.size() != 6 && text.size() != 8) {
        return false;
    }
    Argb value = 0;
    for (char c : text) {
        int digit = 0;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        value = (value << 4) | static_cast<Argb>(digit);
    }
    colour = text.size() == 6 ? (0xFF000000u | value) : value;
    return true;
}

}  // namespace ui
