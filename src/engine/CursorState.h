#pragma once

#include <atomic>
#include <cstdint>

// The process-wide cursor record: position and pressed flag written by the mouse hook on the
// UI thread, read by every screen grab on the video thread. Each field is atomic on its own;
// a grab may see one old and one new, as intended. The composed images are added by the
// cursor overlay (written by compose on the UI thread before any grab runs).
struct CursorState {
    std::atomic<int32_t> x{0};
    std::atomic<int32_t> y{0};
    std::atomic<int32_t> pressed{0};  // 1 after a left-button-down until the next mouse event

    static CursorState& instance();
};
