// Cursor images: decoding, composing (sizes, centring, order, blending) and drawing onto a
// grab, checked against a reference computed here in floating point from the PNG files.
#include "engine/CursorOverlay.h"

#include <gtest/gtest.h>
#include <stb_image.h>
#include <stb_image_write.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "engine/GDIBitmapEx.h"
#include "resources/Resources.h"

namespace {

// Straight-alpha colour with components 0..1.
struct Rgba {
    double r = 0, g = 0, b = 0, a = 0;
};

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels;
    Rgba at(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

Picture decodeResource(uint32_t id) {
    Picture p;
    const ResourceBytes bytes = findResource(id, "PNG");
    int n = 0;
    stbi_uc* rgba =
        stbi_load_from_memory(bytes.data, static_cast<int>(bytes.size), &p.width, &p.height, &n, 4);
    if (rgba == nullptr) {
        return {};
    }
    for (int i = 0; i < p.width * p.height; ++i) {
        p.pixels.push_back({rgba[i * 4] / 255.0, rgba[i * 4 + 1] / 255.0, rgba[i * 4 + 2] / 255.0,
                            rgba[i * 4 + 3] / 255.0});
    }
    stbi_image_free(rgba);
    return p;
}

Rgba over(Rgba s, Rgba d) {
    Rgba o;
    o.a = s.a + d.a * (1 - s.a);
    if (o.a <= 0) {
        return {};
    }
    o.r = (s.r * s.a + d.r * d.a * (1 - s.a)) / o.a;
    o.g = (s.g * s.a + d.g * d.a * (1 - s.a)) / o.a;
    o.b = (s.b * s.a + d.b * d.a * (1 - s.a)) / o.a;
    return o;
}

// What compose should make: each present layer in order, centred on a canvas of the largest
// width and height.
Picture referenceCompose(const std::vector<Picture>& layers) {
    Picture canvas;
    for (const Picture& l : layers) {
        canvas.width = std::max(canvas.width, l.width);
        canvas.height = std::max(canvas.height, l.height);
    }
    canvas.pixels.assign(static_cast<size_t>(canvas.width * canvas.height), Rgba{});
    for (const Picture& l : layers) {
        const int ox = canvas.width / 2 - l.width / 2;
        const int oy = canvas.height / 2 - l.height / 2;
        for (int y = 0; y < l.height; ++y) {
            for (int x = 0; x < l.width; ++x) {
                Rgba& d = canvas.pixels[static_cast<size_t>((y + oy) * canvas.width + x + ox)];
                d = over(l.at(x, y), d);
            }
        }
    }
    return canvas;
}

uint32_t pixel(const SDL_Surface* s, int x, int y) {
    return reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(s->pixels) +
                                             static_cast<size_t>(y) * s->pitch)[x];
}

int channel(uint32_t argb, int shift) {
    return static_cast<int>((argb >> shift) & 0xFF);
}

// Compares a composed ARGB8888 image with the reference; colour only where it can be seen.
void expectMatches(const SDL_Surface* image, const Picture& expected) {
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->w, expected.width);
    ASSERT_EQ(image->h, expected.height);
    int mismatches = 0;
    for (int y = 0; y < expected.height; ++y) {
        for (int x = 0; x < expected.width; ++x) {
            const uint32_t got = pixel(image, x, y);
            const Rgba want = expected.at(x, y);
            const int a = static_cast<int>(std::lround(want.a * 255));
            bool ok = std::abs(channel(got, 24) - a) <= 1;
            if (a > 0) {
                ok = ok && std::abs(channel(got, 16) - std::lround(want.r * 255)) <= 1 &&
                     std::abs(channel(got, 8) - std::lround(want.g * 255)) <= 1 &&
                     std::abs(channel(got, 0) - std::lround(want.b * 255)) <= 1;
            }
            if (!ok && ++mismatches <= 5) {
                ADD_FAILURE() << "at " << x << "," << y << " got 0x" << std::hex << got;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

constexpr uint32_t kNone = 0xFFFFFFFFu;  // a style of "none" arrives as id -1

TEST(GDIBitmapEx, DecodesStraightAlphaIntoArgbWords) {
    // 3 x 2 RGBA: opaque red, green and blue, then translucent white, clear, half grey.
    const unsigned char rgba[] = {255, 0,   0,   255, 0, 255, 0, 255, 0,   0,   255, 255,
                                  255, 255, 255, 64,  0, 0,   0, 0,   128, 128, 128, 128};
    std::vector<uint8_t> png;
    ASSERT_TRUE(stbi_write_png_to_func(
        [](void* out, void* data, int size) {
            auto* bytes = static_cast<uint8_t*>(data);
            static_cast<std::vector<uint8_t>*>(out)->insert(
                static_cast<std::vector<uint8_t>*>(out)->end(), bytes, bytes + size);
        },
        &png, 3, 2, 4, rgba, 3 * 4));
    GDIBitmapEx bitmap;
    const bool decoded = bitmap.decodePng(png.data(), png.size());
    ASSERT_TRUE(decoded);
    ASSERT_EQ(bitmap.width(), 3);
    ASSERT_EQ(bitmap.height(), 2);
    EXPECT_EQ(pixel(bitmap.surface(), 0, 0), 0xFFFF0000u);
    EXPECT_EQ(pixel(bitmap.surface(), 1, 0), 0xFF00FF00u);
    EXPECT_EQ(pixel(bitmap.surface(), 2, 0), 0xFF0000FFu);
    EXPECT_EQ(pixel(bitmap.surface(), 0, 1), 0x40FFFFFFu);
    EXPECT_EQ(pixel(bitmap.surface(), 1, 1) >> 24, 0u);
    EXPECT_EQ(pixel(bitmap.surface(), 2, 1), 0x80808080u);
}

TEST(GDIBitmapEx, AFailedLoadLeavesNothingBehind) {
    GDIBitmapEx bitmap;
    ASSERT_TRUE(bitmap.loadPng(125));
    EXPECT_GT(bitmap.width(), 0);
    EXPECT_FALSE(bitmap.loadPng(999));  // no such resource: the earlier picture is dropped
    EXPECT_EQ(bitmap.surface(), nullptr);

    ASSERT_TRUE(bitmap.loadPng(101));
    const ResourceBytes real = findResource(101, "PNG");
    std::vector<uint8_t> truncated(real.data, real.data + real.size / 2);
    EXPECT_FALSE(bitmap.decodePng(truncated.data(), truncated.size()));
    EXPECT_EQ(bitmap.surface(), nullptr);
    const uint8_t text[] = "not an image at all";
    EXPECT_FALSE(bitmap.decodePng(text, sizeof text));
    EXPECT_FALSE(bitmap.decodePng(nullptr, 10));
    EXPECT_FALSE(bitmap.decodePng(real.data, 0));
}

TEST(CursorOverlayCompose, LayersApertureThenPointerCentredOnTheLargestSize) {
    // A large pointer and a smaller aperture of odd size: the canvas takes the largest width
    // and height, each layer lands at the canvas half minus its own half.
    const uint32_t pointer = 103, aperture = 125, press = 115;
    const Picture p = decodeResource(pointer), a = decodeResource(aperture),
                  q = decodeResource(press);
    CursorState state;
    CursorOverlay::compose(state, pointer, aperture, press);

    const int width = std::max({p.width, a.width, q.width});
    const int height = std::max({p.height, a.height, q.height});
    EXPECT_EQ(state.halfWidth, width / 2);
    EXPECT_EQ(state.halfHeight, height / 2);
    ASSERT_NE(state.normalImage, nullptr);
    ASSERT_NE(state.pressedImage, nullptr);
    expectMatches(state.normalImage->surface(), referenceCompose({a, p}));
    expectMatches(state.pressedImage->surface(), referenceCompose({q, p}));

    // The order shows where the pointer covers the aperture: where the pointer is opaque the
    // composed pixel is the pointer's.
    const int px = width / 2 - p.width / 2, py = height / 2 - p.height / 2;
    int opaque = 0;
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            if (p.at(x, y).a == 1.0) {
                ++opaque;
                const uint32_t got = pixel(state.normalImage->surface(), x + px, y + py);
                ASSERT_EQ(got, 0xFF000000u |
                                   static_cast<uint32_t>(std::lround(p.at(x, y).r * 255)) << 16 |
                                   static_cast<uint32_t>(std::lround(p.at(x, y).g * 255)) << 8 |
                                   static_cast<uint32_t>(std::lround(p.at(x, y).b * 255)));
            }
        }
    }
    EXPECT_GT(opaque, 50);
}

TEST(CursorOverlayCompose, MissingImagesAreLeftOut) {
    CursorState state;
    // No pointer: the apertures alone, each centred.
    CursorOverlay::compose(state, kNone, 128, 116);
    expectMatches(state.normalImage->surface(), referenceCompose({decodeResource(128)}));
    expectMatches(state.pressedImage->surface(), referenceCompose({decodeResource(116)}));

    // An id with no resource behind it counts as none; the pressed image is the pointer alone.
    CursorOverlay::compose(state, 110, 131, 999);
    expectMatches(state.pressedImage->surface(), referenceCompose({decodeResource(110)}));

    // Nothing at all: empty images that draw nothing.
    CursorOverlay::compose(state, kNone, kNone, kNone);
    EXPECT_EQ(state.halfWidth, 0);
    EXPECT_EQ(state.halfHeight, 0);
    ASSERT_NE(state.normalImage, nullptr);
    EXPECT_EQ(state.normalImage->width(), 0);
    EXPECT_EQ(state.pressedImage->height(), 0);
}

TEST(CursorOverlayCompose, ASecondComposeReplacesTheFirstImages) {
    // The leak checker of the sanitizer build sees it if the first images were not freed.
    CursorState state;
    CursorOverlay::compose(state, 112, 136, 124);
    const int bigHalf = state.halfWidth;
    CursorOverlay::compose(state, 101, kNone, kNone);
    EXPECT_LT(state.halfWidth, bigHalf);
    EXPECT_EQ(state.normalImage->width(), decodeResource(101).width);
    expectMatches(state.normalImage->surface(), referenceCompose({decodeResource(101)}));
}

// A grab stand-in: an opaque RGB888 surface filled with one colour.
class Grab {
  public:
    Grab(int w, int h, uint32_t rgb)
        : surface_(SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGB888)) {
        SDL_FillRect(surface_.get(), nullptr, rgb);
    }
    SDL_Surface* get() const { return surface_.get(); }
    uint32_t rgb(int x, int y) const { return pixel(surface_.get(), x, y) & 0xFFFFFFu; }
    int changedPixels(uint32_t background) const {
        int n = 0;
        for (int y = 0; y < surface_->h; ++y) {
            for (int x = 0; x < surface_->w; ++x) {
                n += rgb(x, y) != background;
            }
        }
        return n;
    }

  private:
    SurfacePtr surface_;
};

// The composed image over the opaque background, at the place draw must use. SDL's blend
// computes d + (s - d) a / 256, truncated, where exact arithmetic divides by 255, so its
// colours may lie up to three levels off; a misplaced or wrong image is off by far more.
void expectDrawnAt(const Grab& grab, const SDL_Surface* image, int left, int top,
                   uint32_t background) {
    int mismatches = 0;
    for (int y = 0; y < grab.get()->h; ++y) {
        for (int x = 0; x < grab.get()->w; ++x) {
            uint32_t want = background;
            const int ix = x - left, iy = y - top;
            if (ix >= 0 && iy >= 0 && ix < image->w && iy < image->h) {
                const uint32_t s = pixel(image, ix, iy);
                const double a = channel(s, 24) / 255.0;
                want = 0;
                for (int shift : {16, 8, 0}) {
                    const double c = channel(s, shift) * a + channel(background, shift) * (1 - a);
                    want |= static_cast<uint32_t>(std::lround(c)) << shift;
                }
            }
            const uint32_t got = grab.rgb(x, y);
            bool ok = true;
            for (int shift : {16, 8, 0}) {
                ok = ok && std::abs(channel(got, shift) - channel(want, shift)) <= 3;
            }
            if (!ok && ++mismatches <= 5) {
                ADD_FAILURE() << "at " << x << "," << y << std::hex << " got 0x" << got
                              << " want 0x" << want;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

class CursorOverlayDraw : public ::testing::Test {
  protected:
    void SetUp() override { CursorOverlay::compose(state, 104, 129, 117); }
    CursorState state;
    static constexpr uint32_t kBackground = 0x3C5A78;
};

TEST_F(CursorOverlayDraw, DrawsTheChosenImageCentredOnTheCursor) {
    // The area starts at (1000, 500) on the screen; the cursor is at (1100, 580).
    const Rect area{1000, 500, 1200, 650};
    state.x = 1100;
    state.y = 580;
    Grab normal(200, 150, kBackground);
    CursorOverlay::draw(normal.get(), area, state);
    expectDrawnAt(normal, state.normalImage->surface(), 100 - state.halfWidth,
                  80 - state.halfHeight, kBackground);

    // The pressed flag chooses the other image (the real grab's tests follow a whole click).
    state.pressed = 1;
    Grab pressed(200, 150, kBackground);
    CursorOverlay::draw(pressed.get(), area, state);
    expectDrawnAt(pressed, state.pressedImage->surface(), 100 - state.halfWidth,
                  80 - state.halfHeight, kBackground);

    // Any other flag value draws nothing.
    state.pressed = 2;
    Grab odd(200, 150, kBackground);
    CursorOverlay::draw(odd.get(), area, state);
    EXPECT_EQ(odd.changedPixels(kBackground), 0);
}

TEST_F(CursorOverlayDraw, ACursorJustOutsideTheAreaIsDrawnPartly) {
    const Rect area{1000, 500, 1200, 650};
    const int hw = state.halfWidth;
    const int hh = state.halfHeight;
    ASSERT_GT(hw, 8);
    struct Case {
        int x, y;
        bool touches;
    };
    const Case cases[] = {
        {area.left - hw / 2, 560, true},      // left of the area, half the image in
        {area.right + hw / 2, 560, true},     // right
        {1100, area.top - hh / 2, true},      // above
        {1100, area.bottom + hh / 2, true},   // below
        {area.left - hw - 1, 560, false},     // box ends one pixel short
        {area.right + hw + 1, 560, false},    //
        {1100, area.top - hh - 1, false},     //
        {1100, area.bottom + hh + 1, false},  //
        {area.left - 5 * hw, area.top - 5 * hh, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.x << "," << c.y);
        state.x = c.x;
        state.y = c.y;
        Grab grab(200, 150, kBackground);
        CursorOverlay::draw(grab.get(), area, state);
        if (c.touches) {
            EXPECT_GT(grab.changedPixels(kBackground), 0);
            expectDrawnAt(grab, state.normalImage->surface(), c.x - hw - area.left,
                          c.y - hh - area.top, kBackground);
        } else {
            EXPECT_EQ(grab.changedPixels(kBackground), 0);
        }
    }
}

TEST_F(CursorOverlayDraw, NothingIsDrawnBeforeComposeOrWithEveryStyleNone) {
    CursorState fresh;
    fresh.x = 100;
    fresh.y = 75;
    Grab grab(200, 150, kBackground);
    CursorOverlay::draw(grab.get(), Rect{0, 0, 200, 150}, fresh);
    EXPECT_EQ(grab.changedPixels(kBackground), 0);

    CursorOverlay::compose(fresh, kNone, kNone, kNone);
    CursorOverlay::draw(grab.get(), Rect{0, 0, 200, 150}, fresh);
    fresh.pressed = 1;
    CursorOverlay::draw(grab.get(), Rect{0, 0, 200, 150}, fresh);
    EXPECT_EQ(grab.changedPixels(kBackground), 0);
}

TEST(CursorOverlayDrawOver, BlendsTranslucentLayersAsStraightAlpha) {
    SurfacePtr dst = GDIBitmap::createTransparent(4, 1);
    SurfacePtr src = GDIBitmap::createTransparent(2, 1);
    auto* d = static_cast<uint32_t*>(dst->pixels);
    auto* s = static_cast<uint32_t*>(src->pixels);
    d[0] = 0x80FF0000u;  // half red
    d[1] = 0x80FF0000u;
    d[2] = 0xFF00FF00u;
    s[0] = 0x800000FFu;  // half blue over half red
    s[1] = 0x00123456u;  // fully clear: leaves the red as it was
    CursorOverlay::drawOver(dst.get(), src.get(), 0, 0);
    // a = 0.5 + 0.5 * 0.5 = 0.75; red = 0.5 * 0.5 / 0.75 = 1/3, blue = 0.5 / 0.75 = 2/3.
    EXPECT_NEAR(channel(d[0], 24), 191, 1);
    EXPECT_NEAR(channel(d[0], 16), 85, 1);
    EXPECT_NEAR(channel(d[0], 0), 170, 1);
    EXPECT_EQ(d[1], 0x80FF0000u);
    // Clipped at the edges: only the part inside the destination is touched.
    s[0] = 0xFF0000FFu;
    s[1] = 0xFF0000FFu;
    CursorOverlay::drawOver(dst.get(), src.get(), 3, 0);
    EXPECT_EQ(d[3], 0xFF0000FFu);
    EXPECT_EQ(d[2], 0xFF00FF00u);
    CursorOverlay::drawOver(dst.get(), src.get(), -1, 0);
    EXPECT_EQ(d[0], 0xFF0000FFu);
    EXPECT_EQ(d[1], 0x80FF0000u);
}

}  // namespace
