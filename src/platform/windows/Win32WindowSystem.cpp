#include <windows.h>

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>

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

// The thin part of the window system; see-through shapes, translucency and the shadows'
// compositor check come with the Windows window backend, and until then the framework draws
// plain rectangular windows without shadows (as it does on X11 without a compositor).
class Win32WindowSystem final : public WindowSystem {
public:
    NativeWindow nativeWindow(SDL_Window* window) override {
        return static_cast<NativeWindow>(reinterpret_cast<uintptr_t>(hwndOf(window)));
    }

    bool setShape(SDL_Window*, const std::vector<Rect>&) override { return false; }
    void clearShape(SDL_Window*) override {}
    bool hasCompositor() override { return false; }
    bool enableTranslucentWindows() override { return false; }

    NativeWindow focusedWindow() override {
        return static_cast<NativeWindow>(reinterpret_cast<uintptr_t>(GetForegroundWindow()));
    }

    void showWithoutActivating(SDL_Window* window) override {
        if (HWND hwnd = hwndOf(window)) {
            ShowWindow(hwnd, SW_SHOWNOACTIVATE);
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
