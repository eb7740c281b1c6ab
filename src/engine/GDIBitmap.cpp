#include "engine/GDIBitmap.h"

#include <utility>

GDIBitmap::GDIBitmap(SurfacePtr surface) : surface_(std::move(surface)) {}

GDIBitmap::~GDIBitmap() = default;

SurfacePtr GDIBitmap::createTransparent(int32_t width, int32_t height) {
    if (width < 0 || height < 0) {
        return nullptr;
    }
    // New surfaces come zero-filled: alpha 0 everywhere.
    SurfacePtr surface(
        SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888));
    if (surface) {
        SDL_SetSurfaceBlendMode(surface.get(), SDL_BLENDMODE_BLEND);
    }
    return surface;
}
