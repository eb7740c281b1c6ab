#pragma once

#include <cstdint>
#include <string>

namespace ui {

// A font as a layout names it; size is the em height in pixels.
struct FontSpec {
    std::string face;
    int32_t size = 12;
    bool bold = false;
    bool underline = false;
    bool italic = false;
};

}  // namespace ui
