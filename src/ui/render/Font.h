#pragma once

#include <cstdint>
#include <string>
#include <tuple>

namespace ui {

// A font as a layout names it. Size is the em height in pixels.
struct FontSpec {
    std::string face;
    int32_t size = 12;
    bool bold = false;
    bool underline = false;
    bool italic = false;

    bool operator<(const FontSpec& o) const {
        return std::tie(face, size, bold, underline, italic) <
               std::tie(o.face, o.size, o.bold, o.underline, o.italic);
    }
};

}  // namespace ui
