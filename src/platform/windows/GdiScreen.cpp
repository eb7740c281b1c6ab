// The desktop through GDI: grabs are BitBlt copies from the desktop window's DC into a DIB
// section whose bits are the frame buffer the encoder reads, so the system writes the frame
// where it is used and nothing copies it again.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/Screen.h"
#include "platform/windows/GdiHandles.h"

namespace platform {
namespace {

NativeWindow toNative(HWND window) {
    return static_cast<NativeWindow>(reinterpret_cast<uintptr_t>(window));
}

Rect windowRectOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return Rect{r.left, r.top, r.right, r.bottom};
}

bool contains(const Rect& r, Point p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// Whether the point lies on the window: inside its rectangle and, for a shaped window (the
// see-through capture frame), inside its region, outside which it is not there at all.
bool holds(HWND window, Point p) {
    const Rect r = windowRectOf(window);
    if (!contains(r, p)) {
        return false;
    }
    Region shape(CreateRectRgn(0, 0, 0, 0));
    if (!shape || GetWindowRgn(window, shape.get()) == ERROR) {
        return true;  // no region: the whole rectangle
    }
    return PtInRegion(shape.get(), p.x - r.left, p.y - r.top) != 0;
}

class GdiScreen final : public Screen {
public:
    static std::unique_ptr<GdiScreen> open() {
        HWND desktop = GetDesktopWindow();
        WindowDc source(GetDC(desktop), DcReleaser{desktop});
        if (!source) {
            return nullptr;
        }
        MemoryDc memory(CreateCompatibleDC(source.get()));
        if (!memory) {
            return nullptr;
        }
        return std::unique_ptr<GdiScreen>(
            new GdiScreen(desktop, std::move(source), std::move(memory)));
    }

    ~GdiScreen() override {
        if (original_ != nullptr) {
            SelectObject(memory_.get(), original_);
        }
    }

    Rect desktopRect() override { return windowRectOf(desktop_); }

    // The desktop as this (not DPI-aware) program sees it against the mode the monitor runs
    // in: on a desktop scaled to 150 % the first is two thirds of the second.
    DisplayMetrics displayMetrics() override {
        const Rect desktop = desktopRect();
        DisplayMetrics m;
        m.logicalWidth = desktop.width();
        m.logicalHeight = desktop.height();
        DEVMODEW mode{};
        mode.dmSize = sizeof(mode);
        if (EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode) && mode.dmPelsWidth > 0 &&
            mode.dmPelsHeight > 0) {
            m.modeKnown = true;
            m.modeWidth = static_cast<int32_t>(mode.dmPelsWidth);
            m.modeHeight = static_cast<int32_t>(mode.dmPelsHeight);
        }
        return m;
    }

    bool cursorPosition(Point& position) override {
        POINT p{};
        if (!GetCursorPos(&p)) {
            return false;
        }
        position = Point{p.x, p.y};
        return true;
    }

    // The DIB grows to hold the area and never shrinks, so a buffer handed out stays valid
    // for every area it can hold.
    bool prepare(int32_t width, int32_t height) override {
        if (width <= 0 || height <= 0) {
            return false;
        }
        if (width <= dibWidth_ && height <= dibHeight_) {
            return true;
        }
        return createDib(std::max(width, dibWidth_), std::max(height, dibHeight_));
    }

    bool grab(const Rect& area, uint8_t* buffer) override {
        const int32_t width = area.width();
        const int32_t height = area.height();
        if (width <= 0 || height <= 0 || buffer == nullptr) {
            return false;
        }
        // Into the DIB itself: it must hold the area already, for growing it would free the
        // very buffer being written.
        if (buffer == bits_ && (width > dibWidth_ || height > dibHeight_)) {
            return false;
        }
        if (!prepare(width, height)) {
            return false;
        }
        const Rect desktop = desktopRect();
        const Rect visible{std::max(area.left, desktop.left), std::max(area.top, desktop.top),
                           std::min(area.right, desktop.right),
                           std::min(area.bottom, desktop.bottom)};
        const size_t dibRow = static_cast<size_t>(dibWidth_) * 4u;
        const size_t areaRow = static_cast<size_t>(width) * 4u;
        // What lies off the desktop is black; what the desktop window's DC would give there
        // differs between systems.
        if (visible != area) {
            for (int32_t y = 0; y < height; ++y) {
                std::memset(bits_ + static_cast<size_t>(y) * dibRow, 0, areaRow);
            }
        }
        if (visible.left < visible.right && visible.top < visible.bottom) {
            if (!BitBlt(memory_.get(), visible.left - area.left, visible.top - area.top,
                        visible.width(), visible.height(), source_.get(), visible.left, visible.top,
                        SRCCOPY | CAPTUREBLT)) {
                return false;
            }
            GdiFlush();  // the bits are read directly next
        }
        // Packs the rows where the DIB is wider than the area; forwards, for a row's packed
        // place never lies after its place in the DIB.
        if (buffer != bits_ || dibRow != areaRow) {
            for (int32_t y = 0; y < height; ++y) {
                std::memmove(buffer + static_cast<size_t>(y) * areaRow,
                             bits_ + static_cast<size_t>(y) * dibRow, areaRow);
            }
        }
        return true;
    }

    uint8_t* directBuffer(int32_t width, int32_t height) override {
        return prepare(width, height) ? bits_ : nullptr;
    }

    // The topmost visible top-level window holding the point (skipping `skip`'s top-level
    // window), then down its children to the deepest visible one; the bare desktop where no
    // window holds it.
    bool windowAt(Point point, NativeWindow skip, WindowHit& hit) override {
        const Rect desktop = desktopRect();
        if (!contains(desktop, point)) {
            return false;
        }
        HWND skipWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(skip));
        HWND skipTop = skipWindow != nullptr ? GetAncestor(skipWindow, GA_ROOT) : nullptr;
        HWND found = nullptr;
        for (HWND w = GetTopWindow(nullptr); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
            if (w != skipWindow && w != skipTop && IsWindowVisible(w) && !IsIconic(w) &&
                holds(w, point)) {
                found = w;
                break;
            }
        }
        if (found == nullptr) {
            hit.window = toNative(desktop_);
            hit.windowRect = desktop;
            hit.clientWidth = desktop.width();
            hit.clientHeight = desktop.height();
            return true;
        }
        for (int depth = 0; depth < 64; ++depth) {
            POINT client{point.x, point.y};
            ScreenToClient(found, &client);
            HWND child = ChildWindowFromPointEx(
                found, client, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED | CWP_SKIPTRANSPARENT);
            if (child == nullptr || child == found || child == skipWindow) {
                break;
            }
            found = child;
        }
        RECT client{};
        GetClientRect(found, &client);
        hit.window = toNative(found);
        hit.windowRect = windowRectOf(found);
        hit.clientWidth = client.right - client.left;
        hit.clientHeight = client.bottom - client.top;
        return true;
    }

    bool usesSharedMemory() const override { return true; }  // the DIB section is

private:
    GdiScreen(HWND desktop, WindowDc source, MemoryDc memory)
        : desktop_(desktop), source_(std::move(source)), memory_(std::move(memory)) {}

    bool createDib(int32_t width, int32_t height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down rows, as frames are
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        Bitmap dib(CreateDIBSection(memory_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!dib || bits == nullptr) {
            return false;
        }
        HGDIOBJ previous = SelectObject(memory_.get(), dib.get());
        if (original_ == nullptr) {
            original_ = previous;
        }
        dib_ = std::move(dib);
        bits_ = static_cast<uint8_t*>(bits);
        dibWidth_ = width;
        dibHeight_ = height;
        return true;
    }

    // Only the thread using this object touches the members.
    HWND desktop_;
    WindowDc source_;
    MemoryDc memory_;
    HGDIOBJ original_ = nullptr;  // the memory DC's own bitmap, put back before it goes
    Bitmap dib_;
    uint8_t* bits_ = nullptr;
    int32_t dibWidth_ = 0;
    int32_t dibHeight_ = 0;
};

}  // namespace

// GDI always copies into our memory; the argument is about X11's shared memory.
std::unique_ptr<Screen> Screen::open(bool) {
    return GdiScreen::open();
}

}  // namespace platform
