#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/Geometry.h"

namespace ui {

// Where an image comes from and how it is drawn, as the layouts write it:
//   res='159' restype='PNG' source='0,0,32,32' dest='16,16,48,48' corner='4,4,4,4'
//   file='desktopMask' scale9='10,20,30,40' hole='true' fade='128'
// A text without '=' is a file name on its own.
struct ImageDescriptor {
    std::string file;  // a named image of the window
    int32_t res = -1;  // a built-in resource, when >= 0
    std::string restype;
    bool hasSource = false;
    Rect source;  // in bitmap pixels; the whole bitmap when absent
    bool hasDest = false;
    Rect dest;    // relative to the control's top-left; the whole control when absent
    Rect corner;  // nine-patch corner widths (left, top, right, bottom); all zero: plain
    bool hole = false;
    uint8_t fade = 255;

    // False for malformed text (an unterminated quote, a number that is not one, neither a
    // file nor a resource); the descriptor is then unspecified.
    static bool parse(std::string_view text, ImageDescriptor& out);
};

}  // namespace ui
