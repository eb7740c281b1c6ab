#pragma once

#include <SDL2/SDL_surface.h>

#include <cstdint>

#include "base/Geometry.h"
#include "engine/CursorState.h"

// The pointer the recorder draws into every grab (grabs do not contain the system's): a
// pointer image over an aperture, or over a press aperture right after a left click, composed
// once per recording and drawn centred on the cursor.
class CursorOverlay {
  public:
    // Resource ids of the PNG images; an id that names no image (-1 for "none") leaves that
    // image out. Runs on the UI thread before any grab; the images of an earlier compose are
    // freed.
    static void compose(CursorState& state, uint32_t pointerId, uint32_t apertureId,
                        uint32_t pressId);

    // Draws the image the pressed flag chooses into target, which holds the area (screen
    // coordinates) with its top-left at (0, 0), when the image's box around the cursor
    // touches the area. Video thread; allocates nothing once the target has been drawn on.
    static void draw(SDL_Surface* target, const Rect& area,
                     const CursorState& state = CursorState::instance());

    // Straight-alpha source-over of src onto dst at (x, y), clipped to dst; both ARGB8888.
    // SDL's blended blit weighs colours as if dst were opaque, which is right for a grab but
    // darkens translucent layers on a transparent canvas, so layering uses this.
    static void drawOver(SDL_Surface* dst, const SDL_Surface* src, int32_t x, int32_t y);
};
