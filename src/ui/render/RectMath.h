#pragma once

#include <algorithm>

#include "base/Geometry.h"

namespace ui {

// The common part of two rectangles; empty (width or height <= 0) when they do not meet.
inline Rect intersectRect(const Rect& a, const Rect& b) {
    return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

inline bool isEmptyRect(const Rect& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

inline Rect offsetRect(const Rect& r, int32_t dx, int32_t dy) {
    return Rect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

}  // namespace ui
