#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace ui {

// A decoded image: 0xAARRGGBB per pixel, straight alpha, rows top-down without padding.
class Bitmap {
public:
    Bitmap(int32_t width, int32_t height, bool hasAlpha);

    // Null when the bytes are not an image stb_image reads.
    static std::shared_ptr<Bitmap> decodePng(const uint8_t* data, size_t size);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    // False for images without an alpha channel: they are copied, not blended.
    bool hasAlpha() const { return hasAlpha_; }
    uint32_t* pixels() { return pixels_.data(); }
    const uint32_t* pixels() const { return pixels_.data(); }
    // 0 outside the image.
    uint32_t pixel(int32_t x, int32_t y) const;

private:
    int32_t width_;
    int32_t height_;
    bool hasAlpha_;
    std::vector<uint32_t> pixels_;
};

}  // namespace ui
