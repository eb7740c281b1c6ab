#pragma once

#include <cstdint>

namespace ui {

// An extent in pixels, as the Windows SIZE: cx wide, cy high.
struct Size {
    int32_t cx = 0;
    int32_t cy = 0;

    bool operator==(const Size& o) const { return cx == o.cx && cy == o.cy; }
    bool operator!=(const Size& o) const { return !(*this == o); }
};

}  // namespace ui
