#pragma once

#include <cstdint>
#include <string_view>

namespace ui {

// A colour as the layouts write it: 0xAARRGGBB, straight (not premultiplied) alpha.
using Argb = uint32_t;

constexpr uint8_t alphaOf(Argb c) {
    return static_cast<uint8_t>(c >> 24);
}
constexpr uint8_t redOf(Argb c) {
    return static_cast<uint8_t>(c >> 16);
}
constexpr uint8_t greenOf(Argb c) {
    return static_cast<uint8_t>(c >> 8);
}
constexpr uint8_t blueOf(Argb c) {
    return static_cast<uint8_t>(c);
}
constexpr Argb argb(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
    return (Argb{a} << 24) | (Argb{r} << 16) | (Argb{g} << 8) | Argb{b};
}

// "#AARRGGBB", "0xAARRGGBB", or six digits for an opaque colour ("#RRGGBB"). False, with the
// colour untouched, for anything else.
bool parseColor(std::string_view text, Argb& colour);

}  // namespace ui
