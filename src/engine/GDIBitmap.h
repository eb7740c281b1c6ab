#pragma once

#include <cstdint>

#include "engine/SdlSurface.h"

// Owns one picture in 32-bit ARGB with straight (not premultiplied) alpha, kept as an SDL
// surface in SDL_PIXELFORMAT_ARGB8888 (bytes B, G, R, A) and blended when blitted.
class GDIBitmap {
  public:
    GDIBitmap() = default;
    explicit GDIBitmap(SurfacePtr surface);
    virtual ~GDIBitmap();

    GDIBitmap(const GDIBitmap&) = delete;
    GDIBitmap& operator=(const GDIBitmap&) = delete;

    // Null while the object holds no picture.
    SDL_Surface* surface() const { return surface_.get(); }
    int32_t width() const { return surface_ ? surface_->w : 0; }
    int32_t height() const { return surface_ ? surface_->h : 0; }

    // A fully transparent width x height picture (0 x 0 is allowed and draws nothing).
    static SurfacePtr createTransparent(int32_t width, int32_t height);

  protected:
    SurfacePtr surface_;
};
