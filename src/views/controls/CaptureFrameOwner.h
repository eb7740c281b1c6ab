#pragma once

#include <cstdint>

#include "base/Geometry.h"

// What the capture frame's controls need of the window that holds them: the desktop they
// are kept on and the move of the whole capture area.
class CaptureFrameOwner {
public:
    virtual ~CaptureFrameOwner() = default;
    // The desktop in screen coordinates; the window covers it, so client (0, 0) is its
    // top-left.
    virtual Rect Desktop() const = 0;
    // Moves the capture area by (dx, dy), each direction only as far as the desktop allows.
    virtual void MoveCaptureRect(int32_t dx, int32_t dy) = 0;
};
