#pragma once

// Compares a grab with what it should hold: a background, with the cursor image blended over
// it at a place. Grabs are rows of 32-bit words 0x..RRGGBB (B, G, R, X in memory); the image
// is ARGB8888 with straight alpha.

#include <SDL2/SDL_surface.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace testsupport {

// The number of wrong pixels; the first few are reported. Where the image lies the colours
// may be three levels off: SDL's blend computes d + (s - d) a / 256, truncated, where exact
// arithmetic divides by 255. A misplaced or wrong image is off by far more.
inline int countWrongPixels(const uint8_t* grab, int width, int height, size_t pitch,
                            const std::function<uint32_t(int x, int y)>& background,
                            const SDL_Surface* image = nullptr, int left = 0, int top = 0) {
    auto channel = [](uint32_t v, int shift) { return static_cast<int>((v >> shift) & 0xFF); };
    int wrong = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t want = background(x, y) & 0xFFFFFF;
            const int ix = x - left, iy = y - top;
            const bool covered =
                image != nullptr && ix >= 0 && iy >= 0 && ix < image->w && iy < image->h;
            if (covered) {
                uint32_t s = 0;
                std::memcpy(
                    &s, static_cast<const uint8_t*>(image->pixels) + iy * image->pitch + ix * 4, 4);
                const double a = channel(s, 24) / 255.0;
                uint32_t blended = 0;
                for (int shift : {16, 8, 0}) {
                    blended |= static_cast<uint32_t>(std::lround(channel(s, shift) * a +
                                                                 channel(want, shift) * (1 - a)))
                               << shift;
                }
                want = blended;
            }
            uint32_t got = 0;
            std::memcpy(&got, grab + y * pitch + x * 4, 4);
            bool ok = true;
            for (int shift : {16, 8, 0}) {
                ok =
                    ok && std::abs(channel(got, shift) - channel(want, shift)) <= (covered ? 3 : 0);
            }
            if (!ok && ++wrong <= 5) {
                ADD_FAILURE() << "at " << x << "," << y << std::hex << " got 0x" << (got & 0xFFFFFF)
                              << " want 0x" << want;
            }
        }
    }
    return wrong;
}

}  // namespace testsupport
