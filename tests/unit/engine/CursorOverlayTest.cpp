// Cursor images: composing (sizes, centring, order, blending) and drawing onto a
// grab, checked against a reference computed here in floating point from the PNG files.
#include "engine/CursorOverlay.h"

#include <gtest/gtest.h>
#include <stb_image.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "GrabCheck.h"
#include "engine/GDIBitmap.h"
#include "resources/Resources.h"

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;  // a style of "none" arrives as id -1

// Straight-alpha colour with components 0..1.
struct Rgba {
    double r = 0, g = 0, b = 0, a = 0;
};

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels;
};

Picture decodeResource(uint32_t id) {
    Picture p;
    const ResourceBytes bytes = findResource(id, "PNG");
    int n = 0;
    stbi_uc* rgba =
        stbi_load_from_memory(bytes.data, static_cast<int>(bytes.size), &p.width, &p.height, &n, 4);
    for (int i = 0; rgba != nullptr && i < p.width * p.height; ++i) {
        p.pixels.push_back({rgba[i * 4] / 255.0, rgba[i * 4 + 1] / 255.0, rgba[i * 4 + 2] / 255.0,
                            rgba[i * 4 + 3] / 255.0});
    }
    stbi_image_free(rgba);
    return p;
}

// What compose should make: each layer over the ones before, centred on a canvas of the
// largest width and height.
Picture referenceCompose(const std::vector<uint32_t>& ids) {
    std::vector<Picture> layers;
    Picture canvas;
    for (uint32_t id : ids) {
        layers.push_back(decodeResource(id));
        canvas.width = std::max(canvas.width, layers.back().width);
        canvas.height = std::max(canvas.height, layers.back().height);
    }
    canvas.pixels.assign(static_cast<size_t>(canvas.width * canvas.height), Rgba{});
    for (const Picture& l : layers) {
        const int ox = canvas.width / 2 - l.width / 2;
        const int oy = canvas.height / 2 - l.height / 2;
        for (int y = 0; y < l.height; ++y) {
            for (int x = 0; x < l.width; ++x) {
                const Rgba s = l.pixels[static_cast<size_t>(y * l.width + x)];
                Rgba& d = canvas.pixels[static_cast<size_t>((y + oy) * canvas.width + x + ox)];
                const double a = s.a + d.a * (1 - s.a);
                auto mix = [&](double sc, double dc) {
                    return a > 0 ? (sc * s.a + dc * d.a * (1 - s.a)) / a : 0.0;
                };
                d = {mix(s.r, d.r), mix(s.g, d.g), mix(s.b, d.b), a};
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
void expectMatches(const SDL_Surface* image, const std::vector<uint32_t>& layers) {
    const Picture expected = referenceCompose(layers);
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->w, expected.width);
    ASSERT_EQ(image->h, expected.height);
    int mismatches = 0;
    for (int i = 0; i < expected.width * expected.height; ++i) {
        const uint32_t got = pixel(image, i % expected.width, i / expected.width);
        const Rgba want = expected.pixels[static_cast<size_t>(i)];
        bool ok = std::abs(channel(got, 24) - std::lround(want.a * 255)) <= 1;
        for (const auto& [shift, c] : {std::pair{16, want.r}, {8, want.g}, {0, want.b}}) {
            ok = ok && (want.a == 0 || std::abs(channel(got, shift) - std::lround(c * 255)) <= 1);
        }
        if (!ok && ++mismatches <= 5) {
            ADD_FAILURE() << "pixel " << i << " got 0x" << std::hex << got;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(CursorOverlay, ComposesApertureThenPointerCentredOnTheLargestSize) {
    struct Case {
        uint32_t pointer, aperture, press;
        std::vector<uint32_t> normal, pressed;  // the layers present, bottom first
    };
    const Case cases[] = {
        {103, 125, 115, {125, 103}, {115, 103}},  // a large pointer, a smaller odd aperture
        {kNone, 128, 116, {128}, {116}},
        {110, 131, 999, {131, 110}, {110}},  // an id with no resource behind it counts as none
        {101, kNone, kNone, {101}, {101}},
    };
    CursorState state;  // each compose replaces the images of the one before
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pointer);
        CursorOverlay::compose(state, c.pointer, c.aperture, c.press);
        expectMatches(state.normalImage->surface(), c.normal);
        expectMatches(state.pressedImage->surface(), c.pressed);
        EXPECT_EQ(state.halfWidth,
                  std::max(state.normalImage->width(), state.pressedImage->width()) / 2);
        EXPECT_EQ(state.halfHeight,
                  std::max(state.normalImage->height(), state.pressedImage->height()) / 2);
    }
    // Nothing at all: empty images that draw nothing.
    CursorOverlay::compose(state, kNone, kNone, kNone);
    EXPECT_EQ(state.halfWidth, 0);
    EXPECT_EQ(state.normalImage->width() + state.pressedImage->height(), 0);
}

TEST(CursorOverlay, DrawsTheImageThePressedFlagChoosesCentredOnTheCursorWhereItTouchesTheArea) {
    static constexpr uint32_t kBackground = 0x3C5A78;
    const Rect area{1000, 500, 1200, 650};  // the grab's place on the screen
    CursorState state;
    state.x = 1100;
    state.y = 580;
    // Draws onto an opaque grab of one colour; how many of its pixels are not what they should.
    auto wrongPixels = [&](const GDIBitmap* image, int left, int top) {
        SurfacePtr grab(SDL_CreateRGBSurfaceWithFormat(0, 200, 150, 32, SDL_PIXELFORMAT_RGB888));
        SDL_FillRect(grab.get(), nullptr, kBackground);
        CursorOverlay::draw(grab.get(), area, state);
        return testsupport::countWrongPixels(
            static_cast<const uint8_t*>(grab->pixels), 200, 150, grab->pitch,
            [](int, int) { return kBackground; }, image ? image->surface() : nullptr, left, top);
    };
    EXPECT_EQ(wrongPixels(nullptr, 0, 0), 0);  // nothing before compose
    CursorOverlay::compose(state, 104, 129, 117);
    const int hw = state.halfWidth;
    const int hh = state.halfHeight;
    ASSERT_GT(hw, 8);
    struct Case {
        int x, y, pressed;
        const GDIBitmap* image;  // null: nothing drawn
    };
    const Case cases[] = {
        {1100, 580, 0, state.normalImage.get()},
        {1100, 580, 1, state.pressedImage.get()},               // after a left-button-down
        {1100, 580, 2, nullptr},                                // no such flag
        {area.left - hw / 2, 560, 0, state.normalImage.get()},  // partly off each side
        {area.right + hw / 2, 560, 1, state.pressedImage.get()},
        {1100, area.top - hh / 2, 0, state.normalImage.get()},
        {1100, area.bottom + hh / 2, 0, state.normalImage.get()},
        {area.left - hw - 1, 560, 0, nullptr},  // the image ends one pixel short
        {area.right + hw + 1, 560, 0, nullptr},
        {1100, area.top - hh - 1, 1, nullptr},
        {1100, area.bottom + hh + 1, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.x << "," << c.y << " pressed " << c.pressed);
        state.x = c.x;
        state.y = c.y;
        state.pressed = c.pressed;
        EXPECT_EQ(wrongPixels(c.image, c.x - hw - area.left, c.y - hh - area.top), 0);
    }
}

}  // namespace
