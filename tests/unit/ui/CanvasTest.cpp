#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "ui/render/Bitmap.h"
#include "ui/render/Canvas.h"

using ui::Argb;
using ui::Bitmap;
using ui::Canvas;

namespace {

// Source-over with straight alpha, worked in floating point as the reference.
Argb referenceOver(Argb dst, Argb src) {
    const double sa = (src >> 24) / 255.0;
    const double da = (dst >> 24) / 255.0;
    const double oa = sa + da * (1 - sa);
    if (oa == 0) {
        return 0;
    }
    Argb out = static_cast<Argb>(std::lround(oa * 255)) << 24;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double s = (src >> shift) & 0xFF;
        const double d = (dst >> shift) & 0xFF;
        out |= static_cast<Argb>(std::lround((s * sa + d * da * (1 - sa)) / oa)) << shift;
    }
    return out;
}

// Each channel within one step of the other's.
::testing::AssertionResult near(Argb expected, Argb actual) {
    for (int shift = 0; shift <= 24; shift += 8) {
        const int e = (expected >> shift) & 0xFF;
        const int a = (actual >> shift) & 0xFF;
        if (std::abs(e - a) > 1) {
            char text[64];
            std::snprintf(text, sizeof text, "expected %08X, got %08X", expected, actual);
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

// Every pixel a different opaque colour, so a probe tells which source pixel landed.
std::shared_ptr<Bitmap> numbered(int32_t w, int32_t h) {
    auto bitmap = std::make_shared<Bitmap>(w, h, false);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            bitmap->pixels()[y * w + x] = 0xFF000000u | (uint32_t(x + 1) << 8) | uint32_t(y + 1);
        }
    }
    return bitmap;
}

constexpr Argb kMarker = 0xFF102030;

}  // namespace

TEST(Canvas, FillBlendsSourceOver) {
    struct Case {
        Argb dst;
        Argb src;
    };
    const Case cases[] = {
        {0xFF204060, 0xFFC08040},  // opaque replaces
        {0xFF204060, 0x00C08040},  // transparent leaves alone
        {0xFF204060, 0x80C08040},  // half over opaque
        {0xFFFFFFFF, 0x33000000},  // light shade over white
        {0x00000000, 0x80C08040},  // over nothing: the colour itself at its alpha
        {0x80FF0000, 0x800000FF},  // translucent over translucent
        {0x40123456, 0xC0ABCDEF},
    };
    for (const Case& c : cases) {
        Canvas canvas(4, 3);
        canvas.clear(c.dst);
        canvas.fillRect(Rect{1, 1, 3, 2}, c.src);
        EXPECT_TRUE(near(referenceOver(c.dst, c.src), canvas.pixel(2, 1)))
            << std::hex << c.dst << " " << c.src;
        EXPECT_EQ(c.dst, canvas.pixel(0, 1));
        EXPECT_EQ(c.dst, canvas.pixel(3, 1));
        EXPECT_EQ(c.dst, canvas.pixel(2, 2));
    }
}

TEST(Canvas, ClipScopeConfinesDrawingAndRestores) {
    Canvas canvas(20, 20);
    const Rect whole{0, 0, 20, 20};
    {
        Canvas::ClipScope outer(canvas, Rect{5, 5, 15, 15});
        Canvas::ClipScope inner(canvas, Rect{10, 0, 20, 12});
        EXPECT_EQ((Rect{10, 5, 15, 12}), canvas.clip());
        canvas.fillRect(whole, 0xFF00FF00);
        canvas.drawRoundRect(whole, 6, 6, 3, 0xFF00FF00);
        canvas.drawBitmap(*numbered(20, 20), whole, whole, Rect{}, false);
        canvas.clear(0xFF00FF00);
    }
    for (int32_t y = 0; y < 20; ++y) {
        for (int32_t x = 0; x < 20; ++x) {
            const bool inside = x >= 10 && x < 15 && y >= 5 && y < 12;
            EXPECT_EQ(inside ? 0xFF00FF00u : 0u, canvas.pixel(x, y)) << x << "," << y;
        }
    }
    EXPECT_EQ(whole, canvas.clip());
    canvas.fillRect(whole, 0xFF0000FF);
    EXPECT_EQ(0xFF0000FFu, canvas.pixel(0, 0));
}

TEST(Canvas, BitmapSourceLandsInDest) {
    const auto bitmap = numbered(16, 16);
    struct Case {
        Rect dest;
        Rect source;
    };
    const Case cases[] = {
        {Rect{5, 6, 13, 10}, Rect{3, 4, 11, 8}},     // 1:1
        {Rect{0, 0, 16, 8}, Rect{2, 2, 10, 6}},      // twice the size
        {Rect{1, 1, 5, 5}, Rect{0, 0, 16, 16}},      // a quarter
        {Rect{20, 20, 28, 28}, Rect{8, 8, 24, 24}},  // source partly outside the bitmap
    };
    for (const Case& c : cases) {
        Canvas canvas(32, 32);
        canvas.drawBitmap(*bitmap, c.dest, c.source, Rect{}, false);
        const Rect src{c.source.left, c.source.top, std::min(c.source.right, 16),
                       std::min(c.source.bottom, 16)};
        for (int32_t y = 0; y < 32; ++y) {
            for (int32_t x = 0; x < 32; ++x) {
                const bool in =
                    x >= c.dest.left && x < c.dest.right && y >= c.dest.top && y < c.dest.bottom;
                if (!in) {
                    ASSERT_EQ(0u, canvas.pixel(x, y)) << x << "," << y;
                    continue;
                }
                // Source pixel under the destination pixel's centre.
                const int32_t sx =
                    src.left + ((x - c.dest.left) * 2 + 1) * src.width() / (2 * c.dest.width());
                const int32_t sy =
                    src.top + ((y - c.dest.top) * 2 + 1) * src.height() / (2 * c.dest.height());
                ASSERT_EQ(bitmap->pixel(sx, sy), canvas.pixel(x, y)) << x << "," << y;
            }
        }
    }
}

TEST(Canvas, NinePatchKeepsCornersAndHonoursTheHole) {
    const auto bitmap = numbered(12, 10);
    const Rect corners{3, 2, 4, 3};  // left, top, right, bottom
    const Rect dest{4, 4, 44, 34};
    for (const bool hole : {false, true}) {
        Canvas canvas(48, 40);
        canvas.clear(kMarker);
        canvas.drawBitmap(*bitmap, dest, Rect{0, 0, 12, 10}, corners, hole);
        // Each corner copied 1:1 into the matching corner of dest.
        for (int32_t y = 0; y < 10; ++y) {
            for (int32_t x = 0; x < 12; ++x) {
                const bool left = x < corners.left;
                const bool right = x >= 12 - corners.right;
                const bool top = y < corners.top;
                const bool bottom = y >= 10 - corners.bottom;
                if ((left || right) && (top || bottom)) {
                    const int32_t dx = left ? dest.left + x : dest.right - (12 - x);
                    const int32_t dy = top ? dest.top + y : dest.bottom - (10 - y);
                    ASSERT_EQ(bitmap->pixel(x, y), canvas.pixel(dx, dy)) << x << "," << y;
                }
            }
        }
        // The edges start right after the corners and end right before them.
        EXPECT_EQ(bitmap->pixel(0, corners.top), canvas.pixel(dest.left, dest.top + corners.top));
        EXPECT_EQ(bitmap->pixel(0, 10 - corners.bottom - 1),
                  canvas.pixel(dest.left, dest.bottom - corners.bottom - 1));
        EXPECT_EQ(bitmap->pixel(corners.left, 0), canvas.pixel(dest.left + corners.left, dest.top));
        EXPECT_EQ(bitmap->pixel(12 - corners.right - 1, 0),
                  canvas.pixel(dest.right - corners.right - 1, dest.top));
        // The top edge stretched horizontally only: its rows keep their source row.
        const Argb topEdge = canvas.pixel(24, dest.top + 1);
        EXPECT_EQ(2u, topEdge & 0xFF);
        EXPECT_GE((topEdge >> 8) & 0xFF, 4u);
        EXPECT_LE((topEdge >> 8) & 0xFF, 8u);
        // The left edge stretched vertically only.
        EXPECT_EQ(1u, (canvas.pixel(dest.left, 19) >> 8) & 0xFF);
        const Argb centre = canvas.pixel(24, 19);
        if (hole) {
            EXPECT_EQ(kMarker, centre);
        } else {
            EXPECT_GE((centre >> 8) & 0xFF, 4u);
            EXPECT_LE((centre >> 8) & 0xFF, 8u);
        }
        EXPECT_EQ(kMarker, canvas.pixel(dest.left - 1, 19));
        EXPECT_EQ(kMarker, canvas.pixel(dest.right, 19));
    }
}

TEST(Canvas, BitmapAlphaBlends) {
    Bitmap bitmap(2, 1, true);
    bitmap.pixels()[0] = 0x00FFFFFF;  // fully transparent
    bitmap.pixels()[1] = 0x80FF0000;
    Canvas canvas(2, 2);
    canvas.clear(kMarker);
    canvas.drawBitmap(bitmap, Rect{0, 0, 2, 1}, Rect{0, 0, 2, 1}, Rect{}, false);
    EXPECT_EQ(kMarker, canvas.pixel(0, 0));
    EXPECT_TRUE(near(referenceOver(kMarker, 0x80FF0000), canvas.pixel(1, 0)));
}
