#pragma once

#include <cstdint>
#include <memory>

#include "base/Geometry.h"
#include "engine/CursorState.h"
#include "engine/RecordingClock.h"
#include "engine/SdlSurface.h"
#include "platform/Screen.h"

// Grabs one area of the desktop into a caller's buffer as top-down 32-bit B, G, R, X rows,
// with the recorder's cursor drawn in, and stamps each grab with the recording clock.
// init and release run on the UI thread, capture on the video thread only (init happens before
// that thread starts and release after it ended, so the members need no lock).
class ScreenCapturer {
public:
    explicit ScreenCapturer(CursorState& cursor = CursorState::instance(),
                            RecordingClock& clock = RecordingClock::instance());
    ~ScreenCapturer();

    ScreenCapturer(const ScreenCapturer&) = delete;
    ScreenCapturer& operator=(const ScreenCapturer&) = delete;

    // The connection to grab through; without one, init opens the session's desktop.
    void useScreen(std::unique_ptr<platform::Screen> screen);

    // Prepares grabs of area (screen coordinates, right and bottom exclusive). A later call
    // with another area prepares for that one instead.
    void init(const Rect& area);

    // Grabs the area into buffer (room for width x height x 4 bytes) and draws the cursor in;
    // clockTime receives the recording clock read after the pixels. Returns width x height x 4,
    // or 0 with the buffer untouched when the grab failed (or init did not succeed).
    int32_t capture(uint8_t* buffer, uint32_t& clockTime);

    // A buffer for capture() of the area's size that the display writes grabs into directly,
    // sparing a copy of every frame; null where the display cannot (the caller then brings
    // its own). Valid from init() until the next init() or release().
    uint8_t* frameBuffer();

    // Lets go of the desktop connection and the grab's resources.
    void release();

    const Rect& area() const { return area_; }

    // Desktop utilities for the area-detection overlay (UI thread).

    // The whole desktop as an RGB888 (B, G, R, X) picture the caller owns; null on failure.
    static SurfacePtr desktopSnapshot(platform::Screen& screen);
    // A desktop-sized ARGB8888 picture filled with 0x4F000000: black at alpha 0x4F, laid over
    // the snapshot to dim what is not selected.
    static SurfacePtr desktopMask(platform::Screen& screen);
    static constexpr uint32_t kMaskColour = 0x4F000000u;
    // The deepest visible window under the cursor, seen through `skip` (the overlay itself).
    // rect receives its window rectangle shrunk on each side by half the difference between
    // the window's and its client's size. Returns 0, with rect untouched, when no window is
    // under the cursor.
    static platform::NativeWindow windowUnderCursor(platform::Screen& screen, Rect& rect,
                                                    platform::NativeWindow skip = 0);

private:
    CursorState& cursor_;
    RecordingClock& clock_;

    std::unique_ptr<platform::Screen> screen_;
    Rect area_;
    int32_t imageSize_ = 0;  // width x height x 4; 0 when not ready
    // The cursor is blitted through this surface. It has the area's size and no pixels of its
    // own: each capture points it at the caller's buffer, so a grab allocates nothing.
    SurfacePtr target_;
};
