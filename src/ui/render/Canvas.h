#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Geometry.h"
#include "ui/render/Color.h"

namespace ui {

class Bitmap;

// The 32-bit image a window is rendered into: one uint32_t 0xAARRGGBB per pixel, straight
// alpha, rows top-down without padding (SDL_PIXELFORMAT_ARGB8888 with a pitch of width * 4).
// Every drawing call is confined to the current clip and blends source-over.
// Used by the thread that renders the window (the UI thread).
class Canvas {
public:
    // Narrows the clip to its intersection with a rectangle for the life of the scope.
    class ClipScope {
    public:
        ClipScope(Canvas& canvas, const Rect& rect);
        ~ClipScope();
        ClipScope(const ClipScope&) = delete;
        ClipScope& operator=(const ClipScope&) = delete;

    private:
        Canvas& canvas_;
        Rect saved_;
    };

    // Transparent black, clip over the whole image.
    Canvas(int32_t width, int32_t height);

    // Transparent black again at the new size; the clip becomes the whole image.
    void resize(int32_t width, int32_t height);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    uint32_t* pixels() { return pixels_.data(); }
    const uint32_t* pixels() const { return pixels_.data(); }
    // 0 outside the image.
    uint32_t pixel(int32_t x, int32_t y) const;
    Rect clip() const { return clip_; }

    // Sets every pixel inside the clip to the colour (no blending).
    void clear(Argb colour);
    bool savePng(const std::string& path) const;

    void fillRect(const Rect& rect, Argb colour);
    // A border penWidth pixels wide inside the rectangle.
    void drawRect(const Rect& rect, int32_t penWidth, Argb colour);
    // Corners are quarter ellipses roundX wide and roundY high in total (radii roundX / 2 and
    // roundY / 2); their edges are anti-aliased, the rest is the exact colour.
    void fillRoundRect(const Rect& rect, int32_t roundX, int32_t roundY, Argb colour);
    void drawRoundRect(const Rect& rect, int32_t roundX, int32_t roundY, int32_t penWidth,
                       Argb colour);

    // Draws the source part of the bitmap into dest, stretched (nearest pixel; 1:1 where the
    // sizes match). Non-zero corners (left, top, right, bottom widths in source pixels) draw
    // it as a nine-patch: corners unscaled, edges stretched along their length, the centre
    // stretched, or left out when hole is set. Fade scales the bitmap's alpha.
    void drawBitmap(const Bitmap& bitmap, const Rect& dest, const Rect& source, const Rect& corners,
                    bool hole, uint8_t fade = 255);

    // Blends the colour through a coverage mask (one byte per pixel, 0 = none, 255 = full)
    // whose top-left lands on (x, y).
    void blendMask(int32_t x, int32_t y, const uint8_t* mask, int32_t maskWidth, int32_t maskHeight,
                   int32_t maskPitch, Argb colour);

    // Blends another canvas source-over with its top-left at the point.
    void blit(const Canvas& source, Point at);

private:
    // Blends one pixel with the colour at the given coverage (0..255); inside the clip only.
    void blendPixel(int32_t x, int32_t y, Argb colour, uint32_t coverage);
    // One cell of drawBitmap: source stretched over dest.
    void stretch(const Bitmap& bitmap, const Rect& dest, const Rect& source, uint8_t fade);
    // Fills the pixels of a rounded shape, or of the ring between it and its inset.
    void paintRound(const Rect& rect, int32_t roundX, int32_t roundY, int32_t penWidth,
                    Argb colour);

    int32_t width_ = 0;
    int32_t height_ = 0;
    std::vector<uint32_t> pixels_;
    Rect clip_;
};

}  // namespace ui
