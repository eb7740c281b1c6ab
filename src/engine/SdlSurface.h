#pragma once

#include <SDL2/SDL_surface.h>

#include <memory>

// SDL surfaces owned the usual way: freed with the library's own function.
struct SdlSurfaceDeleter {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SdlSurfaceDeleter>;
