#include <windows.h>

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>

#include <memory>

#include "platform/WindowSystem.h"
#include "platform/windows/GdiHandles.h"

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

// Layered windows take premultiplied alpha.
uint32_t premultiplied(uint32_t argb) {
    const uint32_t a = argb >> 24;
    const auto scale = [a](uint32_t c) { return (c * a + 127) / 255; };
    return a << 24 | scale(argb >> 16 & 0xFF) << 16 | scale(argb >> 8 & 0xFF) << 8 |
           scale(argb & 0xFF);
}

// Shapes are window regions: outside its region a window neither draws nor takes clicks, with
// or without composition. Translucent windows (the popups with their drop shadows) are
// layered windows fed the framework's picture: the system blends them with what lies beneath
// on every Windows, so there is always a "compositor".
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
    bool hasCompositor() override { return true; }
    // Layered windows need nothing before SDL makes its windows.
    bool enableTranslucentWindows() override { return true; }

    bool presentTranslucent(SDL_Window* window, const uint32_t* pixels, int32_t width,
                            int32_t height) override {
        HWND hwnd = hwndOf(window);
        if (hwnd == nullptr || width <= 0 || height <= 0) {
            return false;
        }
        const LONG style = GetWindowLongW(hwnd, GWL_EXSTYLE);
        if ((style & WS_EX_LAYERED) == 0) {
            SetWindowLongW(hwnd, GWL_EXSTYLE, style | WS_EX_LAYERED);
        }
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        const WindowDc screen(GetDC(nullptr));
        const MemoryDc memory(CreateCompatibleDC(screen.get()));
        void* bits = nullptr;
        const Bitmap bitmap(
            CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!screen || !memory || !bitmap || bits == nullptr) {
            return false;
        }
        auto* out = static_cast<uint32_t*>(bits);
        const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
        for (size_t i = 0; i < count; ++i) {
            out[i] = premultiplied(pixels[i]);
        }
        const HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
        SIZE size{width, height};
        POINT origin{0, 0};
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        const BOOL shown = UpdateLayeredWindow(hwnd, screen.get(), nullptr, &size, memory.get(),
                                               &origin, 0, &blend, ULW_ALPHA);
        SelectObject(memory.get(), previous);
        return shown != FALSE;
    }

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
