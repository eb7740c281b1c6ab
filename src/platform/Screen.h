#pragma once

#include <cstdint>
#include <memory>

#include "base/Geometry.h"
#include "platform/NativeWindow.h"

namespace platform {

// What the display scale is computed from: the desktop's size as programs see it and the size
// of the display mode the monitor runs in. They differ only where the system scales the
// desktop (a 150 % desktop on Windows); X draws programs at the mode's size, so they agree.
struct DisplayMetrics {
    int32_t logicalWidth = 0;
    int32_t logicalHeight = 0;
    bool modeKnown = false;
    int32_t modeWidth = 0;
    int32_t modeHeight = 0;
};

// A window found under a point: its outer rectangle (frame included) in screen coordinates
// and the size of its client part, from which the caller can take the frame off.
struct WindowHit {
    NativeWindow window = 0;
    Rect windowRect;
    int32_t clientWidth = 0;
    int32_t clientHeight = 0;
};

// The desktop of this session: its size, the pointer, the windows on it, and grabs of its
// pixels. One object serves one thread at a time; threads that grab at once open one each.
class Screen {
public:
    virtual ~Screen() = default;

    // Connects to the session's desktop; null when there is none. useSharedMemory false
    // grabs through the plain protocol even where shared memory would work (it always does
    // so where it cannot, e.g. on a display of another machine).
    static std::unique_ptr<Screen> open(bool useSharedMemory = true);

    // The whole desktop in screen coordinates, (0, 0) at its top-left.
    virtual Rect desktopRect() = 0;
    virtual DisplayMetrics displayMetrics() = 0;
    // False when the pointer cannot be read (the display is gone).
    virtual bool cursorPosition(Point& position) = 0;

    // Readies grabs of areas up to width x height, so that grab() allocates nothing. grab()
    // does it itself when needed; calling it ahead keeps that work out of the first grab.
    virtual bool prepare(int32_t width, int32_t height) = 0;

    // Copies the area (screen coordinates, right and bottom exclusive) into buffer as top-down
    // rows of width x 4 bytes in B, G, R, X order with no padding. Whatever part of the area
    // lies off the desktop comes out black. False, with the buffer untouched, when nothing
    // could be read (an empty area, a lost display, a pixel format other than 32-bit BGRX).
    virtual bool grab(const Rect& area, uint8_t* buffer) = 0;

    // Room for width x height x 4 bytes that the display itself writes grabs into, so that a
    // grab into it copies nothing on our side (a full-screen frame is megabytes); null where
    // the display cannot write into our memory. It belongs to this object and lasts until a
    // prepare() or grab() for a larger size, or the object's end. A grab of a larger area
    // into it fails.
    virtual uint8_t* directBuffer(int32_t width, int32_t height) {
        (void)width;
        (void)height;
        return nullptr;
    }

    // The deepest visible window under the point, looking through `skip` (and the top-level
    // window that holds it) as if it were not there. The bare desktop counts as a window.
    // False when the point lies off the desktop or the windows cannot be read.
    virtual bool windowAt(Point point, NativeWindow skip, WindowHit& hit) = 0;

    // How the last grab was made (tests and diagnostics).
    virtual bool usesSharedMemory() const = 0;
};

}  // namespace platform
