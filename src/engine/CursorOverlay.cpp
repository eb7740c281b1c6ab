#include "engine/CursorOverlay.h"

#include <algorithm>
#include <memory>

#include "engine/GDIBitmapEx.h"

namespace {

std::unique_ptr<GDIBitmapEx> load(uint32_t id) {
    auto image = std::make_unique<GDIBitmapEx>();
    if (id > 0xFFFFu || !image->loadPng(static_cast<uint16_t>(id))) {
        return nullptr;
    }
    return image;
}

// dst: W x H canvas, images drawn at their own size centred on it (integer halves).
void layer(SDL_Surface* canvas, const GDIBitmap* image) {
    if (image == nullptr) {
        return;
    }
    CursorOverlay::drawOver(canvas, image->surface(), canvas->w / 2 - image->width() / 2,
                            canvas->h / 2 - image->height() / 2);
}

}  // namespace

void CursorOverlay::compose(CursorState& state, uint32_t pointerId, uint32_t apertureId,
                            uint32_t pressId) {
    const auto pointer = load(pointerId);
    const auto aperture = load(apertureId);
    const auto press = load(pressId);

    int32_t width = 0;
    int32_t height = 0;
    for (const GDIBitmapEx* image : {pointer.get(), aperture.get(), press.get()}) {
        if (image != nullptr) {
            width = std::max(width, image->width());
            height = std::max(height, image->height());
        }
    }

    auto normal = std::make_unique<GDIBitmap>(GDIBitmap::createTransparent(width, height));
    auto pressed = std::make_unique<GDIBitmap>(GDIBitmap::createTransparent(width, height));
    if (normal->surface() != nullptr && pressed->surface() != nullptr) {
        layer(normal->surface(), aperture.get());
        layer(normal->surface(), pointer.get());
        layer(pressed->surface(), press.get());
        layer(pressed->surface(), pointer.get());
    }

    state.halfWidth = width / 2;
    state.halfHeight = height / 2;
    // Replacing frees what an earlier compose made.
    state.normalImage = std::move(normal);
    state.pressedImage = std::move(pressed);
}

void CursorOverlay::draw(SDL_Surface* target, const Rect& area, const CursorState& state) {
    if (target == nullptr) {
        return;
    }
    // 64-bit so that no position near the int32 ends can overflow.
    const int64_t x = state.x.load(std::memory_order_relaxed);
    const int64_t y = state.y.load(std::memory_order_relaxed);
    const int64_t hw = state.halfWidth;
    const int64_t hh = state.halfHeight;
    if (!(area.left <= x + hw && area.right >= x - hw && area.top <= y + hh &&
          area.bottom >= y - hh)) {
        return;
    }
    const int32_t pressed = state.pressed.load(std::memory_order_relaxed);
    const GDIBitmap* image = pressed == 0   ? state.normalImage.get()
                             : pressed == 1 ? state.pressedImage.get()
                                            : nullptr;
    if (image == nullptr || image->surface() == nullptr) {
        return;
    }
    // The box touches the area, so the position lies within an image size of it.
    SDL_Rect where{static_cast<int>(x - hw - area.left), static_cast<int>(y - hh - area.top), 0, 0};
    SDL_BlitSurface(image->surface(), nullptr, target, &where);
}

void CursorOverlay::drawOver(SDL_Surface* dst, const SDL_Surface* src, int32_t x, int32_t y) {
    if (dst == nullptr || src == nullptr) {
        return;
    }
    const int32_t x0 = std::max(0, x);
    const int32_t y0 = std::max(0, y);
    const int32_t x1 = std::min(dst->w, x + src->w);
    const int32_t y1 = std::min(dst->h, y + src->h);
    for (int32_t dy = y0; dy < y1; ++dy) {
        auto* out = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(dst->pixels) +
                                                static_cast<size_t>(dy) * dst->pitch);
        const auto* in = reinterpret_cast<const uint32_t*>(
            static_cast<const uint8_t*>(src->pixels) + static_cast<size_t>(dy - y) * src->pitch);
        for (int32_t dx = x0; dx < x1; ++dx) {
            const uint32_t s = in[dx - x];
            const uint32_t sa = s >> 24;
            if (sa == 0) {
                continue;
            }
            const uint32_t d = out[dx];
            const uint32_t da = d >> 24;
            if (sa == 255 || da == 0) {
                out[dx] = s;
                continue;
            }
            // Straight alpha: a = sa + da (1 - sa); c = (sc sa + dc da (1 - sa)) / a, with
            // alphas on 0..255 and the result rounded.
            const uint32_t dw = da * (255 - sa);  // dst weight, on 0..255^2
            const uint32_t a255 = sa * 255 + dw;  // result alpha times 255
            uint32_t result = ((a255 + 127) / 255) << 24;
            for (int shift = 0; shift <= 16; shift += 8) {
                const uint32_t sc = (s >> shift) & 0xFF;
                const uint32_t dc = (d >> shift) & 0xFF;
                const uint32_t c = (sc * sa * 255 + dc * dw + a255 / 2) / a255;
                result |= std::min<uint32_t>(c, 255) << shift;
            }
            out[dx] = result;
        }
    }
}
