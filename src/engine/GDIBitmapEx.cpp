#include "engine/GDIBitmapEx.h"

#include <stb_image.h>

#include <climits>
#include <cstring>
#include <memory>

#include "resources/Resources.h"

namespace {

struct StbiDeleter {
    void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

}  // namespace

bool GDIBitmapEx::loadPng(uint16_t resourceId) {
    surface_.reset();
    const ResourceBytes bytes = findResource(resourceId, "PNG");
    if (bytes.empty()) {
        return false;
    }
    return decodePng(bytes.data, bytes.size);
}

bool GDIBitmapEx::decodePng(const uint8_t* bytes, size_t size) {
    surface_.reset();
    if (bytes == nullptr || size == 0 || size > static_cast<size_t>(INT_MAX)) {
        return false;
    }
    int width = 0;
    int height = 0;
    int channels = 0;
    // Always four channels out: R, G, B, A bytes with straight alpha, whatever the file holds.
    std::unique_ptr<stbi_uc, StbiDeleter> rgba(stbi_load_from_memory(
        bytes, static_cast<int>(size), &width, &height, &channels, STBI_rgb_alpha));
    if (!rgba || width <= 0 || height <= 0) {
        return false;
    }
    SurfacePtr surface = createTransparent(width, height);
    if (!surface) {
        return false;
    }
    // R, G, B, A bytes into the B, G, R, A bytes of ARGB8888 (little-endian words).
    const stbi_uc* src = rgba.get();
    for (int y = 0; y < height; ++y) {
        uint8_t* row =
            static_cast<uint8_t*>(surface->pixels) + static_cast<size_t>(y) * surface->pitch;
        uint32_t* out = reinterpret_cast<uint32_t*>(row);
        for (int x = 0; x < width; ++x, src += 4) {
            out[x] = (static_cast<uint32_t>(src[3]) << 24) | (static_cast<uint32_t>(src[0]) << 16) |
                     (static_cast<uint32_t>(src[1]) << 8) | src[2];
        }
    }
    surface_ = std::move(surface);
    return true;
}
