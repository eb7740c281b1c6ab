#pragma once

#include <cstdint>
#include <optional>

#include "base/Geometry.h"

// The Store's arithmetic on capture rectangles. Widths and heights are taken in 64 bits, so a
// rectangle read from the settings file with sides far apart cannot overflow.
class CaptureRectRules {
  public:
    // Item 7 of the drop-down is refused when the remembered rectangle is narrower or lower.
    static constexpr int32_t kMinLoadedSide = 201;
    // A recording is refused when the area is both narrower and lower than this.
    static constexpr int32_t kMinRecordSide = 200;

    // What setCaptureRect stores: width and height each lose their remainder modulo 2 (the
    // remainder has the sign of the value), moving right and bottom.
    static Rect makeEven(const Rect& rect);

    // The rectangle a capture drop-down item asks for, before makeEven: 0 the desktop, 2..6 a
    // preset size centred on the desktop, 7 the rectangle read from the settings file. No value
    // when the request is to be ignored (item 7 with a small or no remembered rectangle, or an
    // item that is not one of these).
    static std::optional<Rect> chooseArea(int32_t item, const Rect& desktop, const Rect& loaded);

    // The first capture rectangle: the remembered one when it has an area, else the desktop.
    static Rect startupRect(const Rect& loaded, const Rect& desktop);

    static bool tooSmallToRecord(const Rect& rect);

    // Physical pixels per logical pixel from the display's mode and the desktop's logical
    // size, divided in single precision; 1.0 when either size is unknown.
    static double displayScale(int32_t physical, int32_t logical);

    // A logical rectangle in physical pixels: each side scaled and truncated toward zero, then
    // made even. Values beyond the 32-bit range stop at its ends.
    static Rect toPhysical(const Rect& logical, double scaleX, double scaleY);
};
