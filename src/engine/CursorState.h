#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

class GDIBitmap;

// The process-wide cursor record: position and pressed flag written by the mouse hook on the
// UI thread, read by every screen grab on the video thread. Each field is atomic on its own;
// a grab may see one old and one new, as intended. The composed images are added by the
// cursor overlay (written by compose on the UI thread before any grab runs).
struct CursorState {
    std::atomic<int32_t> x{0};
    std::atomic<int32_t> y{0};
    std::atomic<int32_t> pressed{0};  // 1 after a left-button-down until the next mouse event

    // Written by CursorOverlay::compose on the UI thread before the video thread starts (the
    // thread's start orders them before its reads); read by every grab on the video thread.
    int32_t halfWidth = 0;  // half the composed images' size, truncated
    int32_t halfHeight = 0;
    std::unique_ptr<GDIBitmap> normalImage;   // aperture + pointer; null until composed
    std::unique_ptr<GDIBitmap> pressedImage;  // press aperture + pointer; null until composed

    CursorState();
    ~CursorState();
    CursorState(const CursorState&) = delete;
    CursorState& operator=(const CursorState&) = delete;

    static CursorState& instance();
};
