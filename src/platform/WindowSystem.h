#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Geometry.h"
#include "platform/NativeWindow.h"

struct SDL_Window;

namespace platform {

// What the window framework needs of the window system beyond SDL: shaped (see-through,
// click-through) windows, the compositor's presence, the focus, and showing a window without
// taking the focus. Topmost, not-in-taskbar, minimise/restore, raise-with-focus and the owner
// window are SDL's own calls and work as they are. UI thread only.
class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // The session's window system; on X11 it uses SDL's own display connection of the window
    // passed (SDL_GetWindowWMInfo) or a connection of its own where none is given.
    static WindowSystem& instance();

    // The system's id of an SDL window (X window id; on Windows the HWND), 0 when unknown.
    virtual NativeWindow nativeWindow(SDL_Window* window) = 0;

    // The window shows pixels and takes clicks only inside these rects (window coordinates);
    // elsewhere it is see-through and clicks go to whatever is beneath. An empty list makes
    // the whole window see-through and click-through. Works without a compositor. False when
    // the system cannot shape windows.
    virtual bool setShape(SDL_Window* window, const std::vector<Rect>& rects) = 0;
    // Back to a plain rectangular window.
    virtual void clearShape(SDL_Window* window) = 0;

    // Whether a compositing manager runs. Drop shadows are drawn only then.
    virtual bool hasCompositor() = 0;
    // Called before the first window is created: where a compositor runs, makes SDL create
    // windows whose pixels' alpha shows through; returns whether it did.
    virtual bool enableTranslucentWindows() = 0;

    // Shows `pixels` (0xAARRGGBB, straight alpha, rows top-down, width x height: the window's
    // whole size) with their alpha showing what lies beneath, where the system blends windows
    // itself (Windows' layered windows). False where it does not: SDL's surface shows them,
    // and a compositor, if one runs, blends them.
    virtual bool presentTranslucent(SDL_Window* window, const uint32_t* pixels, int32_t width,
                                    int32_t height) = 0;

    // The window that has the keyboard focus, 0 when none of ours or unknown.
    virtual NativeWindow focusedWindow() = 0;

    // Shows the window on top without moving the keyboard focus to it (SDL's hint for this
    // does nothing on X11). A later click still focuses it.
    virtual void showWithoutActivating(SDL_Window* window) = 0;

    // Publishes a text description of what the window shows (its controls, their texts and
    // states) where programs outside ours can read it, as assistive tools read windows; on
    // X11 the UTF-8 property _SC_CONTROL_TREE of the window.
    virtual void publishDescription(SDL_Window* window, const std::string& description) = 0;
};

}  // namespace platform
