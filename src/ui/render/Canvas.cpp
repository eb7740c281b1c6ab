#include "ui/render/Canvas.h"

#include <stb_image_write.h>

#include <algorithm>
#include <cmath>

#include "ui/render/Bitmap.h"
#include "ui/render/RectMath.h"

namespace ui {

namespace {

// x * y / 255, rounded, for bytes.
inline uint32_t mul255(uint32_t x, uint32_t y) {
    const uint32_t t = x * y + 128;
    return (t + (t >> 8)) >> 8;
}

// Source-over of a colour with the given alpha (0..255) onto a straight-alpha pixel.
inline uint32_t blendOver(uint32_t dst, uint32_t rgb, uint32_t sa) {
    if (sa == 0) {
        return dst;
    }
    if (sa == 255) {
        return 0xFF000000u | (rgb & 0x00FFFFFFu);
    }
    const uint32_t da = dst >> 24;
    const uint32_t inv = 255 - sa;
    if (da == 255) {
        // The common case (an opaque window): no division by the resulting alpha.
        uint32_t out = 0xFF000000u;
        for (int shift = 0; shift <= 16; shift += 8) {
            const uint32_t s = (rgb >> shift) & 0xFF;
            const uint32_t d = (dst >> shift) & 0xFF;
            out |= ((s * sa + d * inv + 127) / 255) << shift;
        }
        return out;
    }
    // Straight alpha both sides: weights sa * 255 and da * (255 - sa), over their sum.
    const uint32_t ws = sa * 255;
    const uint32_t wd = da * inv;
    const uint32_t sum = ws + wd;
    uint32_t out = ((sum + 127) / 255) << 24;
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t s = (rgb >> shift) & 0xFF;
        const uint32_t d = (dst >> shift) & 0xFF;
        out |= ((s * ws + d * wd + sum / 2) / sum) << shift;
    }
    return out;
}

// A rectangle with elliptic corners (radii rx, ry; zero for square corners).
struct RoundShape {
    Rect rect;
    double rx = 0;
    double ry = 0;

    RoundShape(const Rect& r, double radiusX, double radiusY) : rect(r) {
        rx = std::min(radiusX, r.width() / 2.0);
        ry = std::min(radiusY, r.height() / 2.0);
        if (rx <= 0 || ry <= 0) {
            rx = ry = 0;
        }
    }

    // How much of pixel (x, y) the shape covers, in sixteenths (a 4x4 grid of samples on the
    // corners; exact elsewhere).
    int coverage(int32_t x, int32_t y) const {
        if (x < rect.left || x >= rect.right || y < rect.top || y >= rect.bottom) {
            return 0;
        }
        if (rx == 0) {
            return 16;
        }
        const double left = rect.left + rx;
        const double right = rect.right - rx;
        const double top = rect.top + ry;
        const double bottom = rect.bottom - ry;
        if ((x >= left && x + 1 <= right) || (y >= top && y + 1 <= bottom)) {
            return 16;
        }
        int inside = 0;
        for (int j = 0; j < 4; ++j) {
            const double py = y + (j + 0.5) / 4;
            const double dy = (py - std::clamp(py, top, bottom)) / ry;
            for (int i = 0; i < 4; ++i) {
                const double px = x + (i + 0.5) / 4;
                const double dx = (px - std::clamp(px, left, right)) / rx;
                inside += dx * dx + dy * dy <= 1.0 ? 1 : 0;
            }
        }
        return inside;
    }
};

}  // namespace

Canvas::ClipScope::ClipScope(Canvas& canvas, const Rect& rect)
    : canvas_(canvas), saved_(canvas.clip_) {
    canvas_.clip_ = intersectRect(saved_, rect);
}

Canvas::ClipScope::~ClipScope() {
    canvas_.clip_ = saved_;
}

Canvas::Canvas(int32_t width, int32_t height) {
    resize(width, height);
}

void Canvas::resize(int32_t width, int32_t height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0u);
    clip_ = Rect{0, 0, width_, height_};
}

uint32_t Canvas::pixel(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return 0;
    }
    return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

void Canvas::clear(Argb colour) {
    for (int32_t y = clip_.top; y < clip_.bottom; ++y) {
        uint32_t* row = pixels_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_);
        std::fill(row + clip_.left, row + clip_.right, colour);
    }
}

bool Canvas::savePng(const std::string& path) const {
    if (width_ == 0 || height_ == 0) {
        return false;
    }
    std::vector<uint8_t> rgba(pixels_.size() * 4);
    for (size_t i = 0; i < pixels_.size(); ++i) {
        const uint32_t p = pixels_[i];
        rgba[i * 4 + 0] = redOf(p);
        rgba[i * 4 + 1] = greenOf(p);
        rgba[i * 4 + 2] = blueOf(p);
        rgba[i * 4 + 3] = alphaOf(p);
    }
    return stbi_write_png(path.c_str(), width_, height_, 4, rgba.data(), width_ * 4) != 0;
}

void Canvas::blendPixel(int32_t x, int32_t y, Argb colour, uint32_t coverage) {
    if (x < clip_.left || x >= clip_.right || y < clip_.top || y >= clip_.bottom) {
        return;
    }
    uint32_t& p =
        pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
    p = blendOver(p, colour, mul255(alphaOf(colour), coverage));
}

void Canvas::fillRect(const Rect& rect, Argb colour) {
    const Rect r = intersectRect(rect, clip_);
    const uint32_t alpha = alphaOf(colour);
    if (isEmptyRect(r) || alpha == 0) {
        return;
    }
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint32_t* row = pixels_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_);
        if (alpha == 255) {
            std::fill(row + r.left, row + r.right, colour);
            continue;
        }
        for (int32_t x = r.left; x < r.right; ++x) {
            row[x] = blendOver(row[x], colour, alpha);
        }
    }
}

void Canvas::drawRect(const Rect& rect, int32_t penWidth, Argb colour) {
    if (penWidth <= 0 || isEmptyRect(rect)) {
        return;
    }
    if (penWidth * 2 >= rect.width() || penWidth * 2 >= rect.height()) {
        fillRect(rect, colour);
        return;
    }
    // Four strips that do not overlap, so a translucent border is blended once everywhere.
    const int32_t innerTop = rect.top + penWidth;
    const int32_t innerBottom = rect.bottom - penWidth;
    fillRect(Rect{rect.left, rect.top, rect.right, innerTop}, colour);
    fillRect(Rect{rect.left, innerBottom, rect.right, rect.bottom}, colour);
    fillRect(Rect{rect.left, innerTop, rect.left + penWidth, innerBottom}, colour);
    fillRect(Rect{rect.right - penWidth, innerTop, rect.right, innerBottom}, colour);
}

void Canvas::fillRoundRect(const Rect& rect, int32_t roundX, int32_t roundY, Argb colour) {
    if (roundX <= 0 || roundY <= 0) {
        fillRect(rect, colour);
        return;
    }
    paintRound(rect, roundX, roundY, 0, colour);
}

void Canvas::drawRoundRect(const Rect& rect, int32_t roundX, int32_t roundY, int32_t penWidth,
                           Argb colour) {
    if (roundX <= 0 || roundY <= 0) {
        drawRect(rect, penWidth, colour);
        return;
    }
    if (penWidth <= 0) {
        return;
    }
    paintRound(rect, roundX, roundY, penWidth, colour);
}

void Canvas::paintRound(const Rect& rect, int32_t roundX, int32_t roundY, int32_t penWidth,
                        Argb colour) {
    const Rect r = intersectRect(rect, clip_);
    if (isEmptyRect(r) || alphaOf(colour) == 0) {
        return;
    }
    const RoundShape outer(rect, roundX / 2.0, roundY / 2.0);
    // The inner edge of a border: the same corner centres, radii shorter by the pen.
    const bool ring = penWidth > 0;
    const Rect innerRect{rect.left + penWidth, rect.top + penWidth, rect.right - penWidth,
                         rect.bottom - penWidth};
    const RoundShape inner(ring && !isEmptyRect(innerRect) ? innerRect : Rect{},
                           outer.rx - penWidth, outer.ry - penWidth);
    for (int32_t y = r.top; y < r.bottom; ++y) {
        for (int32_t x = r.left; x < r.right; ++x) {
            int cover = outer.coverage(x, y);
            if (ring) {
                cover = std::max(0, cover - inner.coverage(x, y));
            }
            if (cover > 0) {
                blendPixel(x, y, colour, static_cast<uint32_t>(cover * 255 / 16));
            }
        }
    }
}

void Canvas::drawBitmap(const Bitmap& bitmap, const Rect& dest, const Rect& source,
                        const Rect& corners, bool hole, uint8_t fade) {
    const Rect src = intersectRect(source, Rect{0, 0, bitmap.width(), bitmap.height()});
    if (isEmptyRect(src) || isEmptyRect(dest) || fade == 0) {
        return;
    }
    if (corners.left <= 0 && corners.top <= 0 && corners.right <= 0 && corners.bottom <= 0) {
        // Without corners the whole image is the centre: a hole leaves nothing to draw.
        if (!hole) {
            stretch(bitmap, dest, src, fade);
        }
        return;
    }
    // Corner sizes in the source, limited to the source; in the destination the same, shrunk
    // in proportion where the destination is smaller than the two corners together.
    auto split = [](int32_t first, int32_t second, int32_t srcLength, int32_t destLength,
                    int32_t out[4]) {
        first = std::clamp(first, 0, srcLength);
        second = std::clamp(second, 0, srcLength - first);
        out[0] = first;
        out[1] = second;
        if (first + second > destLength) {
            const int64_t scaled = int64_t{destLength} * first / (first + second);
            out[2] = static_cast<int32_t>(scaled);
            out[3] = destLength - out[2];
        } else {
            out[2] = first;
            out[3] = second;
        }
    };
    int32_t h[4];
    int32_t v[4];
    split(corners.left, corners.right, src.width(), dest.width(), h);
    split(corners.top, corners.bottom, src.height(), dest.height(), v);
    const int32_t sx[4] = {src.left, src.left + h[0], src.right - h[1], src.right};
    const int32_t dx[4] = {dest.left, dest.left + h[2], dest.right - h[3], dest.right};
    const int32_t sy[4] = {src.top, src.top + v[0], src.bottom - v[1], src.bottom};
    const int32_t dy[4] = {dest.top, dest.top + v[2], dest.bottom - v[3], dest.bottom};
    for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 3; ++i) {
            if (hole && i == 1 && j == 1) {
                continue;
            }
            const Rect d{dx[i], dy[j], dx[i + 1], dy[j + 1]};
            const Rect s{sx[i], sy[j], sx[i + 1], sy[j + 1]};
            if (!isEmptyRect(d) && !isEmptyRect(s)) {
                stretch(bitmap, d, s, fade);
            }
        }
    }
}

void Canvas::stretch(const Bitmap& bitmap, const Rect& dest, const Rect& source, uint8_t fade) {
    const Rect r = intersectRect(dest, clip_);
    if (isEmptyRect(r)) {
        return;
    }
    // Each destination pixel takes the source pixel under its centre.
    auto map = [](int32_t d, int32_t destStart, int32_t destLength, int32_t srcStart,
                  int32_t srcLength) {
        const int64_t offset =
            (int64_t{d - destStart} * 2 + 1) * srcLength / (int64_t{destLength} * 2);
        return srcStart + static_cast<int32_t>(offset);
    };
    std::vector<int32_t> columns(static_cast<size_t>(r.width()));
    for (int32_t x = r.left; x < r.right; ++x) {
        columns[static_cast<size_t>(x - r.left)] =
            map(x, dest.left, dest.width(), source.left, source.width());
    }
    const bool opaqueCopy = !bitmap.hasAlpha() && fade == 255;
    for (int32_t y = r.top; y < r.bottom; ++y) {
        const int32_t srcY = map(y, dest.top, dest.height(), source.top, source.height());
        const uint32_t* in =
            bitmap.pixels() + static_cast<size_t>(srcY) * static_cast<size_t>(bitmap.width());
        uint32_t* out = pixels_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_);
        for (int32_t x = r.left; x < r.right; ++x) {
            const uint32_t p = in[columns[static_cast<size_t>(x - r.left)]];
            if (opaqueCopy) {
                out[x] = 0xFF000000u | p;
                continue;
            }
            const uint32_t alpha = bitmap.hasAlpha() ? mul255(p >> 24, fade) : fade;
            out[x] = blendOver(out[x], p, alpha);
        }
    }
}

void Canvas::blendMask(int32_t x, int32_t y, const uint8_t* mask, int32_t maskWidth,
                       int32_t maskHeight, int32_t maskPitch, Argb colour) {
    const Rect r = intersectRect(Rect{x, y, x + maskWidth, y + maskHeight}, clip_);
    if (mask == nullptr || isEmptyRect(r) || alphaOf(colour) == 0) {
        return;
    }
    for (int32_t py = r.top; py < r.bottom; ++py) {
        const uint8_t* in = mask + static_cast<ptrdiff_t>(py - y) * maskPitch;
        for (int32_t px = r.left; px < r.right; ++px) {
            const uint32_t cover = in[px - x];
            if (cover != 0) {
                blendPixel(px, py, colour, cover);
            }
        }
    }
}

void Canvas::blit(const Canvas& source, Point at) {
    const Rect r =
        intersectRect(Rect{at.x, at.y, at.x + source.width_, at.y + source.height_}, clip_);
    for (int32_t y = r.top; y < r.bottom; ++y) {
        for (int32_t x = r.left; x < r.right; ++x) {
            const uint32_t p = source.pixel(x - at.x, y - at.y);
            uint32_t& out = pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) +
                                    static_cast<size_t>(x)];
            out = blendOver(out, p, p >> 24);
        }
    }
}

}  // namespace ui
