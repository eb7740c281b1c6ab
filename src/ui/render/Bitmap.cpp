#include "ui/render/Bitmap.h"

#include <stb_image.h>

#include <algorithm>
#include <climits>

namespace ui {

namespace {
struct StbiFree {
    void operator()(stbi_uc* p) const { stbi_image_free(p); }
};
}  // namespace

Bitmap::Bitmap(int32_t width, int32_t height, bool hasAlpha)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      hasAlpha_(hasAlpha),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0u) {}

std::shared_ptr<Bitmap> Bitmap::decodePng(const uint8_t* data, size_t size) {
    if (data == nullptr || size == 0 || size > static_cast<size_t>(INT_MAX)) {
        return nullptr;
    }
    int w = 0;
    int h = 0;
    int channels = 0;
    std::unique_ptr<stbi_uc, StbiFree> rgba(
        stbi_load_from_memory(data, static_cast<int>(size), &w, &h, &channels, 4));
    if (!rgba || w <= 0 || h <= 0) {
        return nullptr;
    }
    // Grey+alpha and RGBA files carry alpha; the others are opaque.
    auto bitmap = std::make_shared<Bitmap>(w, h, channels == 2 || channels == 4);
    const stbi_uc* in = rgba.get();
    uint32_t* out = bitmap->pixels();
    const size_t count = static_cast<size_t>(w) * static_cast<size_t>(h);
    for (size_t i = 0; i < count; ++i, in += 4) {
        out[i] = (uint32_t{in[3]} << 24) | (uint32_t{in[0]} << 16) | (uint32_t{in[1]} << 8) |
                 uint32_t{in[2]};
    }
    return bitmap;
}

uint32_t Bitmap::pixel(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return 0;
    }
    return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

}  // namespace ui
