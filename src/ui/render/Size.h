#pragma once

#include <cstdint>

namespace ui {

struct Size {
    int32_t cx = 0;
    int32_t cy = 0;
};

}  // namespace ui
