// The GDI screen and the window system against the desktop Wine shows on the private X
// server: a window painted with a known picture must come back pixel for pixel, whichever
// buffer the grab goes into, and a shaped window must let it show through outside its shape.
#include <windows.h>

#include <SDL2/SDL.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Await.h"
#include "GrabCheck.h"
#include "platform/Screen.h"
#include "platform/WindowSystem.h"

namespace {

constexpr Rect kPicture{300, 200, 300 + 256, 200 + 160};  // where the picture window lies
constexpr Rect kChild{40, 30, 40 + 64, 30 + 48};          // a child in its client area

// A colour per pixel that differs from its neighbours in every channel, so a shifted, flipped
// or channel-swapped grab cannot pass.
uint32_t pictureAt(int x, int y) {
    return static_cast<uint32_t>(((x * 7 + y) & 0xFF) << 16 | ((y * 5 + 3 * x) & 0xFF) << 8 |
                                 ((x ^ y) & 0xFF));
}

LRESULT CALLBACK pictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    const int w = kPicture.width(), h = kPicture.height();
    std::vector<uint32_t> pixels(static_cast<size_t>(w * h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            pixels[static_cast<size_t>(y * w + x)] = pictureAt(x, y);
        }
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    SetDIBitsToDevice(dc, 0, 0, w, h, 0, 0, 0, h, pixels.data(), &info, DIB_RGB_COLORS);
    EndPaint(window, &paint);
    return 0;
}

struct WindowDestroyer {
    void operator()(HWND w) const { DestroyWindow(w); }
};
using Window = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

void pumpMessages() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&m);
    }
}

// The number of pixels of a grab of an area inside the picture that are not the picture's.
int wrongPixels(const uint8_t* grab, const Rect& area) {
    return testsupport::countWrongPixels(grab, area.width(), area.height(),
                                         static_cast<size_t>(area.width()) * 4, [&](int x, int y) {
                                             return pictureAt(x + area.left - kPicture.left,
                                                              y + area.top - kPicture.top);
                                         });
}

class GdiScreen : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSW c{};
        c.lpfnWndProc = pictureProc;
        c.hInstance = GetModuleHandleW(nullptr);
        c.lpszClassName = L"ScPicture";
        c.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        RegisterClassW(&c);
        picture_ =
            CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"ScPicture", L"picture",
                            WS_POPUP | WS_VISIBLE, kPicture.left, kPicture.top, kPicture.width(),
                            kPicture.height(), nullptr, nullptr, c.hInstance, nullptr);
        // A plain child to find under the point; it paints nothing, grabs avoid it.
        child_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, kChild.left,
                                 kChild.top, kChild.width(), kChild.height(), picture_, nullptr,
                                 c.hInstance, nullptr);
    }
    static void TearDownTestSuite() {
        DestroyWindow(picture_);
        pumpMessages();
    }

    void SetUp() override {
        ASSERT_NE(picture_, nullptr);
        screen_ = platform::Screen::open();
        ASSERT_NE(screen_, nullptr);
    }

    // Whether every pixel of the picture's area below the child is one `right(x, y, colour)`
    // takes (x, y in the picture); says the first that is not.
    bool showsBelowChild(const std::function<bool(int, int, uint32_t)>& right) {
        const Rect area{kPicture.left, kPicture.top + kChild.bottom, kPicture.right,
                        kPicture.bottom};
        std::vector<uint8_t> grab(static_cast<size_t>(area.width() * area.height() * 4));
        pumpMessages();
        if (!screen_->grab(area, grab.data())) {
            return false;
        }
        for (int y = 0; y < area.height(); ++y) {
            for (int x = 0; x < area.width(); ++x) {
                uint32_t got = 0;
                std::memcpy(&got, &grab[static_cast<size_t>((y * area.width() + x) * 4)], 4);
                got &= 0xFFFFFF;
                if (!right(x, y + kChild.bottom, got)) {
                    char text[64];
                    std::snprintf(text, sizeof text, "(%d,%d) is %06x over %06x", x,
                                  y + kChild.bottom, static_cast<unsigned>(got),
                                  static_cast<unsigned>(pictureAt(x, y + kChild.bottom)));
                    wrong_ = text;
                    return false;
                }
            }
        }
        return true;
    }

    // Waits until the window manager has mapped and Wine has painted the picture.
    void awaitPicture() {
        ASSERT_TRUE(testsupport::waitFor(
            [&] {
                return showsBelowChild(
                    [](int x, int y, uint32_t got) { return got == pictureAt(x, y); });
            },
            std::chrono::seconds(10), "the picture window on the screen"))
            << wrong_;
    }

    static inline HWND picture_ = nullptr;
    static inline HWND child_ = nullptr;
    std::unique_ptr<platform::Screen> screen_;
    std::string wrong_;  // the first pixel showsBelowChild() did not take
};

TEST_F(GdiScreen, TheDesktopIsTheTestDisplay) {
    EXPECT_EQ(screen_->desktopRect(), (Rect{0, 0, 1920, 1080}));
    const platform::DisplayMetrics m = screen_->displayMetrics();
    EXPECT_EQ(m.logicalWidth, 1920);
    EXPECT_EQ(m.logicalHeight, 1080);
    ASSERT_TRUE(m.modeKnown);
    EXPECT_EQ(m.modeWidth, 1920) << "Wine does not scale the desktop";
    EXPECT_EQ(m.modeHeight, 1080);
}

// Areas inside the picture (right of the child, below it) and across the screen's edges
// (where the part off the desktop is black), into a buffer of ours and into the DIB itself.
TEST_F(GdiScreen, GrabsArePixelExactAndBlackOffTheDesktop) {
    awaitPicture();
    struct Case {
        const char* name;
        Rect area;
    };
    const Case cases[] = {
        {"right of the child",
         {kPicture.left + 110, kPicture.top, kPicture.right, kPicture.bottom}},
        {"below the child", {kPicture.left, kPicture.top + 80, kPicture.right, kPicture.bottom}},
        {"one pixel", {kPicture.right - 1, kPicture.bottom - 1, kPicture.right, kPicture.bottom}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> ours(static_cast<size_t>(c.area.width() * c.area.height() * 4), 0xAB);
        ASSERT_TRUE(screen_->grab(c.area, ours.data()));
        EXPECT_EQ(wrongPixels(ours.data(), c.area), 0);

        uint8_t* direct = screen_->directBuffer(c.area.width(), c.area.height());
        ASSERT_NE(direct, nullptr);
        ASSERT_TRUE(screen_->grab(c.area, direct));
        EXPECT_EQ(wrongPixels(direct, c.area), 0);
    }

    // Past the top-left and bottom-right corners: only the black part is known.
    for (const Rect& area : {Rect{-20, -10, 40, 30}, Rect{1900, 1070, 1940, 1100}}) {
        std::vector<uint8_t> ours(static_cast<size_t>(area.width() * area.height() * 4), 0xAB);
        ASSERT_TRUE(screen_->grab(area, ours.data()));
        int nonBlack = 0;
        for (int y = 0; y < area.height(); ++y) {
            for (int x = 0; x < area.width(); ++x) {
                const int sx = x + area.left, sy = y + area.top;
                uint32_t got = 0;
                std::memcpy(&got, &ours[static_cast<size_t>((y * area.width() + x) * 4)], 4);
                const bool off = sx < 0 || sy < 0 || sx >= 1920 || sy >= 1080;
                nonBlack += off && (got & 0xFFFFFF) != 0;
            }
        }
        EXPECT_EQ(nonBlack, 0) << area.left << "," << area.top;
    }
}

// The direct buffer stays where it is for smaller areas, and a grab into it still comes out
// as packed rows of the area's width; a larger area than it holds is refused (it holds at
// least what was asked for, and what earlier grabs needed: here the picture's width).
TEST_F(GdiScreen, TheDirectBufferHoldsSmallerAreasAsPackedRows) {
    awaitPicture();
    uint8_t* large = screen_->directBuffer(200, 100);
    ASSERT_NE(large, nullptr);
    const Rect narrow{kPicture.left + 120, kPicture.top + 90, kPicture.left + 170,
                      kPicture.top + 150};
    EXPECT_EQ(screen_->directBuffer(narrow.width(), narrow.height()), large);
    ASSERT_TRUE(screen_->grab(narrow, large));
    EXPECT_EQ(wrongPixels(large, narrow), 0);
    EXPECT_FALSE(screen_->grab(Rect{0, 0, kPicture.width() + 1, 10}, large))
        << "wider than the buffer";
    EXPECT_FALSE(screen_->grab(Rect{0, 0, 10, 101}, large)) << "taller than the buffer";
    EXPECT_FALSE(screen_->grab(Rect{0, 0, 0, 10}, large)) << "empty";
}

TEST_F(GdiScreen, ThePointerIsWhereItWasPut) {
    ASSERT_TRUE(SetCursorPos(411, 322));
    Point p;
    ASSERT_TRUE(
        testsupport::waitFor([&] { return screen_->cursorPosition(p) && p.x == 411 && p.y == 322; },
                             std::chrono::seconds(5), "the pointer at 411,322"));
}

// Down to the child under the point; through the picture window when it is skipped (by
// itself or by its child); the bare desktop off every window; nothing off the desktop.
TEST_F(GdiScreen, TheWindowUnderAPoint) {
    awaitPicture();
    const HWND desktop = GetDesktopWindow();
    auto native = [](HWND w) {
        return static_cast<platform::NativeWindow>(reinterpret_cast<uintptr_t>(w));
    };
    platform::WindowHit hit;
    ASSERT_TRUE(screen_->windowAt({kPicture.left + 50, kPicture.top + 40}, 0, hit));
    EXPECT_EQ(hit.window, native(child_));
    EXPECT_EQ(hit.windowRect, (Rect{kPicture.left + kChild.left, kPicture.top + kChild.top,
                                    kPicture.left + kChild.right, kPicture.top + kChild.bottom}));
    EXPECT_EQ(hit.clientWidth, kChild.width() - 2) << "the border is trimmed off";
    EXPECT_EQ(hit.clientHeight, kChild.height() - 2);

    ASSERT_TRUE(screen_->windowAt({kPicture.left + 200, kPicture.top + 140}, 0, hit));
    EXPECT_EQ(hit.window, native(picture_));
    EXPECT_EQ(hit.windowRect, kPicture);

    for (HWND skip : {picture_, child_}) {
        ASSERT_TRUE(screen_->windowAt({kPicture.left + 50, kPicture.top + 40}, native(skip), hit));
        EXPECT_NE(hit.window, native(picture_));
        EXPECT_NE(hit.window, native(child_));
    }

    // The bottom-right corner holds no window of Wine's bare desktop.
    ASSERT_TRUE(screen_->windowAt({1919, 1079}, 0, hit));
    EXPECT_EQ(hit.window, native(desktop));
    EXPECT_EQ(hit.windowRect, (Rect{0, 0, 1920, 1080}));
    EXPECT_EQ(hit.clientWidth, 1920);
    EXPECT_FALSE(screen_->windowAt({1920, 5}, 0, hit));
    EXPECT_FALSE(screen_->windowAt({-1, 5}, 0, hit));
}

struct SdlWindowDestroyer {
    void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
};

// The see-through capture frame: an SDL window over the picture, shaped to its left band.
// Outside the band the picture shows and the point belongs to the window beneath; cleared,
// the whole window covers it again. Showing a window without activating it leaves the focus.
TEST_F(GdiScreen, AShapedWindowIsSeeThroughOutsideItsShape) {
    awaitPicture();
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    platform::WindowSystem& system = platform::WindowSystem::instance();
    std::unique_ptr<SDL_Window, SdlWindowDestroyer> frame(
        SDL_CreateWindow("frame", kPicture.left, kPicture.top, kPicture.width(), kPicture.height(),
                         SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP |
                             SDL_WINDOW_SKIP_TASKBAR | SDL_WINDOW_HIDDEN));
    ASSERT_TRUE(frame) << SDL_GetError();
    const HWND hwnd =
        reinterpret_cast<HWND>(static_cast<uintptr_t>(system.nativeWindow(frame.get())));
    ASSERT_NE(hwnd, nullptr);

    const platform::NativeWindow focused = system.focusedWindow();
    system.showWithoutActivating(frame.get());
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_EQ(system.focusedWindow(), focused);
    EXPECT_NE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST, 0) << "kept on top";
    // The system's rule for the taskbar: an owned or tool window without the app-window style
    // stays out of it (SDL gives such windows a hidden owner).
    const LONG exStyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
    EXPECT_TRUE((GetWindow(hwnd, GW_OWNER) != nullptr || (exStyle & WS_EX_TOOLWINDOW) != 0) &&
                (exStyle & WS_EX_APPWINDOW) == 0)
        << "not in the taskbar";

    constexpr int kBand = 64;
    ASSERT_TRUE(system.setShape(frame.get(), {Rect{0, 0, kBand, kPicture.height()}}));
    const uint32_t red = 0xFF0000;
    auto paintRed = [&] {
        SDL_PumpEvents();
        SDL_Surface* s = SDL_GetWindowSurface(frame.get());
        ASSERT_NE(s, nullptr) << SDL_GetError();
        SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 255, 0, 0));
        SDL_UpdateWindowSurface(frame.get());
    };
    // Red in the band, the picture beside it.
    auto shows = [&](int redUpTo) {
        return [&, redUpTo] {
            paintRed();
            return showsBelowChild([redUpTo, red](int x, int y, uint32_t got) {
                return got == (x < redUpTo ? red : pictureAt(x, y));
            });
        };
    };
    ASSERT_TRUE(testsupport::waitFor(shows(kBand), std::chrono::seconds(10),
                                     "the red band with the picture beside it"))
        << wrong_;
    platform::WindowHit hit;
    ASSERT_TRUE(screen_->windowAt({kPicture.left + 10, kPicture.bottom - 10}, 0, hit));
    EXPECT_EQ(hit.window, system.nativeWindow(frame.get()));
    ASSERT_TRUE(screen_->windowAt({kPicture.left + 200, kPicture.bottom - 10}, 0, hit));
    EXPECT_EQ(hit.window,
              static_cast<platform::NativeWindow>(reinterpret_cast<uintptr_t>(picture_)))
        << "the point outside the shape is the picture's";

    system.clearShape(frame.get());
    ASSERT_TRUE(testsupport::waitFor(shows(kPicture.width()), std::chrono::seconds(10),
                                     "the whole window red"))
        << wrong_;
    frame.reset();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

// A popup with a drop shadow: a layered window fed the framework's picture. Where the picture
// is transparent the window beneath shows, where it is opaque the picture does, and between
// the two its premultiplied colour lies over what is beneath where the system blends (Windows)
// or over black where nothing does (Wine on an X server without a compositor).
TEST_F(GdiScreen, ATranslucentWindowIsBlendedWithWhatLiesBeneath) {
    awaitPicture();
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    platform::WindowSystem& system = platform::WindowSystem::instance();
    EXPECT_TRUE(system.hasCompositor());
    std::unique_ptr<SDL_Window, SdlWindowDestroyer> popup(
        SDL_CreateWindow("popup", kPicture.left, kPicture.top, kPicture.width(), kPicture.height(),
                         SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP |
                             SDL_WINDOW_SKIP_TASKBAR | SDL_WINDOW_HIDDEN));
    ASSERT_TRUE(popup) << SDL_GetError();
    // Left third transparent, middle third half-transparent red, right third opaque red.
    const int w = kPicture.width(), h = kPicture.height(), third = w / 3;
    std::vector<uint32_t> pixels(static_cast<size_t>(w * h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            pixels[static_cast<size_t>(y * w + x)] = x < third       ? 0x00FFFFFFu
                                                     : x < 2 * third ? 0x80FF0000u
                                                                     : 0xFFFF0000u;
        }
    }
    ASSERT_TRUE(system.presentTranslucent(popup.get(), pixels.data(), w, h));
    system.showWithoutActivating(popup.get());
    // Half red over `under`, channel by channel.
    const auto halfRedOver = [](uint32_t under, uint32_t got) {
        for (int shift : {0, 8, 16}) {
            const int expected =
                (shift == 16 ? 128 : 0) + static_cast<int>(under >> shift & 0xFF) * 127 / 255;
            if (std::abs(static_cast<int>(got >> shift & 0xFF) - expected) > 2) {
                return false;
            }
        }
        return true;
    };
    const auto shown = [&] {
        return showsBelowChild([&](int x, int y, uint32_t got) {
            return x < third        ? got == pictureAt(x, y)
                   : x >= 2 * third ? got == 0xFF0000
                                    : halfRedOver(pictureAt(x, y), got) || halfRedOver(0, got);
        });
    };
    EXPECT_TRUE(testsupport::waitFor(shown, std::chrono::seconds(10),
                                     "the picture, half red over it, and red"))
        << wrong_;
    popup.reset();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
