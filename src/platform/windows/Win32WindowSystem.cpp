#include <windows.h>

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>

#include <memory>
#include <type_traits>

#include "platform/WindowSystem.h"

namespace platform {
namespace {

HWND hwndOf(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) ||
        info.subsystem != SDL_SYSWM_WINDOWS) {
        return nullptr;
    }
    return info.info.win.window;
}

struct RegionDeleter {
    void operator()(HRGN region) const { DeleteObject(region); }
};
using Region = std::unique_ptr<std::remove_pointer_t<HRGN>, RegionDeleter>;

// Shapes are window regions: outside its region a window neither draws nor takes clicks, with
// or without composition. Translucent windows (and with them the drop shadows) are not made:
// SDL's windows cannot be layered, so the framework draws them as it does on X11 without a
// compositor.
class Win32WindowSystem final : public WindowSystem {
public:
    NativeWindow nativeWindow(SDL_Window* window) override {
        return static_cast<NativeWindow>(reinterpret_cast<uintptr_t>(hwndOf(window)));
    }

    bool setShape(SDL_Window* window, const std::vector<Rect>& rects) override {
        HWND hwnd = hwndOf(window);
        if (hwnd == nullptr) {
            return false;
        }
        Region shape(CreateRectRgn(0, 0, 0, 0));  // empty: all see-through
        if (!shape) {
            return false;
        }
        for (const Rect& r : rects) {
            Region part(CreateRectRgn(r.left, r.top, r.right, r.bottom));
            if (!part || CombineRgn(shape.get(), shape.get(), part.get(), RGN_OR) == ERROR) {
                return false;
            }
        }
        // The system owns the region from here on.
        if (!SetWindowRgn(hwnd, shape.get(), TRUE)) {
            return false;
        }
        shape.release();
        return true;
    }

    void clearShape(SDL_Window* window) override {
        if (HWND hwnd = hwndOf(window)) {
            SetWindowRgn(hwnd, nullptr, TRUE);
        }
    }
    bool hasCompositor() override { return false; }
    bool enableTranslucentWindows() override { return false; }

    NativeWindow focusedWindow() override {
        return static_cast<NativeWindow>(reinterpret_cast<uintptr_t>(GetForegroundWindow()));
    }

    void showWithoutActivating(SDL_Window* window) override {
        if (HWND hwnd = hwndOf(window)) {
            // SDL puts a window above the others only in its own show; this one keeps it.
            const bool topmost = (SDL_GetWindowFlags(window) & SDL_WINDOW_ALWAYS_ON_TOP) != 0;
            SetWindowPos(hwnd, topmost ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        } else {
            SDL_ShowWindow(window);
        }
    }

    // Nothing outside reads a description on Windows yet.
    void publishDescription(SDL_Window*, const std::string&) override {}
};

}  // namespace

WindowSystem& WindowSystem::instance() {
    static Win32WindowSystem system;
    return system;
}

}  // namespace platform
