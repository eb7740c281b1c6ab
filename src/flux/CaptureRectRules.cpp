#include "flux/CaptureRectRules.h"

#include <cmath>
#include <limits>

#include "flux/StoreTables.h"

namespace {

int64_t width64(const Rect& r) {
    return int64_t{r.right} - r.left;
}
int64_t height64(const Rect& r) {
    return int64_t{r.bottom} - r.top;
}

// Truncation toward zero; a double outside the int32 range has no defined conversion.
int32_t truncToInt32(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    constexpr double kMin = std::numeric_limits<int32_t>::min();
    constexpr double kMax = std::numeric_limits<int32_t>::max();
    if (v <= kMin) {
        return std::numeric_limits<int32_t>::min();
    }
    if (v >= kMax) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(v);
}

// One axis of a preset centred on the desktop; the desktop's own sides when it does not fit.
void centre(int32_t size, int32_t low, int32_t high, int32_t& outLow, int32_t& outHigh) {
    const int64_t span = int64_t{high} - low;
    if (size > span) {
        outLow = low;
        outHigh = high;
        return;
    }
    const int64_t d = (span - size) / 2;
    outLow = static_cast<int32_t>(low + d);
    outHigh = static_cast<int32_t>(high - d);
}

}  // namespace

Rect CaptureRectRules::makeEven(const Rect& rect) {
    const int64_t w = width64(rect);
    const int64_t h = height64(rect);
    Rect out = rect;
    // The even size lies between 0 and the old one, so the new side lies between the old two.
    out.right = static_cast<int32_t>(rect.left + (w - w % 2));
    out.bottom = static_cast<int32_t>(rect.top + (h - h % 2));
    return out;
}

std::optional<Rect> CaptureRectRules::chooseArea(int32_t item, const Rect& desktop,
                                                 const Rect& loaded) {
    if (item == 0) {
        return desktop;
    }
    if (item == 7) {
        if (width64(loaded) < kMinLoadedSide || height64(loaded) < kMinLoadedSide) {
            return std::nullopt;
        }
        return loaded;
    }
    const std::optional<StoreTables::Size> size = StoreTables::presetSize(item);
    if (!size) {
        return std::nullopt;
    }
    Rect out;
    centre(size->width, desktop.left, desktop.right, out.left, out.right);
    centre(size->height, desktop.top, desktop.bottom, out.top, out.bottom);
    return out;
}

Rect CaptureRectRules::startupRect(const Rect& loaded, const Rect& desktop) {
    return width64(loaded) > 0 && height64(loaded) > 0 ? loaded : desktop;
}

bool CaptureRectRules::tooSmallToRecord(const Rect& rect) {
    return width64(rect) < kMinRecordSide && height64(rect) < kMinRecordSide;
}

double CaptureRectRules::displayScale(int32_t physical, int32_t logical) {
    if (physical <= 0 || logical <= 0) {
        return 1.0;
    }
    return static_cast<double>(static_cast<float>(physical) / static_cast<float>(logical));
}

Rect CaptureRectRules::toPhysical(const Rect& logical, double scaleX, double scaleY) {
    Rect scaled;
    scaled.left = truncToInt32(logical.left * scaleX);
    scaled.right = truncToInt32(logical.right * scaleX);
    scaled.top = truncToInt32(logical.top * scaleY);
    scaled.bottom = truncToInt32(logical.bottom * scaleY);
    return makeEven(scaled);
}
