// The window system beneath the framework, on a real X server with openbox, clicked from
// outside with xdotool as a user's clicks arrive: shapes that show and pass clicks through,
// the compositor's presence, window ids and the keyboard focus.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Await.h"
#include "TestServers.h"
#include "platform/WindowSystem.h"

// Last: Xlib's macros (None, Bool) clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

const auto* const kX =
    ::testing::AddGlobalTestEnvironment(new testsupport::XvfbWithWindowManagerEnvironment);

using namespace std::chrono_literals;
using platform::NativeWindow;

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kBlue = 0x0000FF;

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};
struct ImageDestroyer {
    void operator()(XImage* image) const { XDestroyImage(image); }
};
struct SdlWindowDestroyer {
    void operator()(SDL_Window* window) const { SDL_DestroyWindow(window); }
};
using SdlWindow = std::unique_ptr<SDL_Window, SdlWindowDestroyer>;

class WindowSystemTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // SDL drops the click that focuses a window unless told otherwise; the framework
        // wants it, as Windows delivers it.
        SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    }
    static void TearDownTestSuite() { SDL_QuitSubSystem(SDL_INIT_VIDEO); }

    void SetUp() override { ASSERT_TRUE(x_) << "no X connection"; }
    void TearDown() override {
        for (const Window w : plain_) {
            XDestroyWindow(x_.get(), w);
        }
        XSync(x_.get(), False);
    }

    // An SDL window filled with one colour, shown by the window manager, painted.
    SdlWindow sdlWindow(const char* title, Rect r, uint32_t flags = 0, uint32_t rgb = kBlue) {
        SdlWindow window(SDL_CreateWindow(title, r.left, r.top, r.width(), r.height(), flags));
        EXPECT_TRUE(window) << SDL_GetError();
        if (window && !(flags & SDL_WINDOW_HIDDEN)) {
            EXPECT_TRUE(viewable(system_.nativeWindow(window.get())));
        }
        colours_.push_back({window.get(), rgb});
        paint();
        return window;
    }

    // An ordinary X window of the test's own in a plain colour (the X server paints it), that
    // reports the clicks it gets.
    Window plainWindow(Rect r, uint32_t rgb = kRed) {
        Display* d = x_.get();
        const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), r.left, r.top, r.width(),
                                             r.height(), 0, 0, rgb);
        XSizeHints hints{};
        hints.flags = USPosition | USSize;  // placed where asked, not where openbox likes
        XSetWMNormalHints(d, w, &hints);
        XStoreName(d, w, "plain");
        XSelectInput(d, w, ButtonPressMask);
        XMapRaised(d, w);
        plain_.push_back(w);
        EXPECT_TRUE(viewable(w));
        return w;
    }

    ::testing::AssertionResult viewable(NativeWindow w, bool shown = true) {
        return testsupport::waitFor(
            [&] {
                SDL_PumpEvents();
                XWindowAttributes a{};
                return XGetWindowAttributes(x_.get(), w, &a) &&
                       (a.map_state == IsViewable) == shown;
            },
            5s, shown ? "the window manager to show the window" : "the window to go");
    }

    // SDL's windows have no backing store: repainted while the tests wait on the screen.
    void paint() {
        for (const auto& [window, rgb] : colours_) {
            SDL_Surface* s = SDL_GetWindowSurface(window);
            if (s != nullptr) {
                SDL_FillRect(s, nullptr,
                             SDL_MapRGB(s->format, static_cast<Uint8>(rgb >> 16),
                                        static_cast<Uint8>(rgb >> 8), static_cast<Uint8>(rgb)));
                SDL_UpdateWindowSurface(window);
            }
        }
    }

    Point onScreen(NativeWindow w, Point p) {
        int x = 0;
        int y = 0;
        Window child = 0;
        XTranslateCoordinates(x_.get(), w, DefaultRootWindow(x_.get()), p.x, p.y, &x, &y, &child);
        return Point{x, y};
    }

    uint32_t pixelAt(Point p) {
        std::unique_ptr<XImage, ImageDestroyer> image(
            XGetImage(x_.get(), DefaultRootWindow(x_.get()), p.x, p.y, 1, 1, AllPlanes, ZPixmap));
        return image ? XGetPixel(image.get(), 0, 0) & 0xFFFFFF : 0xDEAD;
    }

    ::testing::AssertionResult shows(Point p, uint32_t rgb) {
        return testsupport::waitFor(
            [&] {
                paint();
                SDL_PumpEvents();
                return pixelAt(p) == rgb;
            },
            5s, "colour " + std::to_string(rgb) + " on screen");
    }

    static void click(Point p) {
        int status = -1;
        testsupport::runAndCapture(
            {"xdotool", "mousemove", std::to_string(p.x), std::to_string(p.y), "click", "1"},
            &status);
        ASSERT_EQ(status, 0) << "xdotool failed";
    }

    // Awaits the next button press SDL reports for the window; where it was, window-relative.
    ::testing::AssertionResult sdlPressed(SDL_Window* window, Point& at) {
        return testsupport::waitFor(
            [&] {
                SDL_Event e;
                while (SDL_PollEvent(&e)) {
                    if (e.type == SDL_MOUSEBUTTONDOWN &&
                        e.button.windowID == SDL_GetWindowID(window)) {
                        at = Point{e.button.x, e.button.y};
                        return true;
                    }
                }
                return false;
            },
            5s, "a button press in the SDL window");
    }

    ::testing::AssertionResult plainPressed(Window w, Point& at) {
        return testsupport::waitFor(
            [&] {
                XEvent e;
                if (!XCheckTypedWindowEvent(x_.get(), w, ButtonPress, &e)) {
                    return false;
                }
                at = Point{e.xbutton.x, e.xbutton.y};
                return true;
            },
            5s, "a button press in the plain window");
    }

    NativeWindow awaitFocus(NativeWindow expected) {
        NativeWindow focused = 0;
        EXPECT_TRUE(testsupport::waitFor(
            [&] {
                SDL_PumpEvents();
                return (focused = system_.focusedWindow()) == expected;
            },
            5s, "the focus on window " + std::to_string(expected)));
        return focused;
    }

    platform::WindowSystem& system_ = platform::WindowSystem::instance();
    std::unique_ptr<Display, DisplayCloser> x_{XOpenDisplay(nullptr)};  // the test's own client
    std::vector<Window> plain_;
    std::vector<std::pair<SDL_Window*, uint32_t>> colours_;
};

// A frame: a ring 20 pixels wide with a hole in the middle, as the capture frame is.
TEST_F(WindowSystemTest, ShapeDecidesWhatShowsAndWhatTakesClicks) {
    const Window beneath = plainWindow(Rect{100, 100, 700, 700});
    // Above the plain window even once a click has raised that one.
    const SdlWindow frame = sdlWindow("frame", Rect{200, 200, 500, 500},
                                      SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP);
    const NativeWindow id = system_.nativeWindow(frame.get());
    const std::vector<Rect> ring{
        {0, 0, 300, 20}, {0, 280, 300, 300}, {0, 20, 20, 280}, {280, 20, 300, 280}};
    const Point hole{150, 150};
    const Point rim{10, 150};

    enum Shape { Ring, Rectangular, Empty };
    const struct {
        Shape shape;
        Point at;
        bool frameTakesIt;  // shows the frame's colour and gets the click
    } cases[] = {
        {Ring, hole, false},      {Ring, rim, true},   {Rectangular, hole, true},
        {Rectangular, rim, true}, {Empty, rim, false}, {Empty, hole, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("shape " + std::to_string(c.shape) + " at " + std::to_string(c.at.x));
        if (c.shape == Rectangular) {
            system_.clearShape(frame.get());
        } else {
            ASSERT_TRUE(
                system_.setShape(frame.get(), c.shape == Ring ? ring : std::vector<Rect>{}));
        }
        const Point screen = onScreen(id, c.at);
        ASSERT_TRUE(shows(screen, c.frameTakesIt ? kBlue : kRed));
        click(screen);
        Point got;
        if (c.frameTakesIt) {
            ASSERT_TRUE(sdlPressed(frame.get(), got));
            EXPECT_EQ(got.x, c.at.x);
            EXPECT_EQ(got.y, c.at.y);
        } else {
            ASSERT_TRUE(plainPressed(beneath, got));
            EXPECT_EQ(onScreen(beneath, got).x, screen.x);
            EXPECT_EQ(onScreen(beneath, got).y, screen.y);
        }
    }
}

// A compositing manager announces itself by owning _NET_WM_CM_S0; the test plays one.
TEST_F(WindowSystemTest, CompositorIsSeenWhileItsSelectionIsOwned) {
    EXPECT_FALSE(system_.hasCompositor());
    EXPECT_FALSE(system_.enableTranslucentWindows());

    Display* d = x_.get();
    const Atom selection = XInternAtom(d, "_NET_WM_CM_S0", False);
    const Window owner = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    plain_.push_back(owner);
    XSetSelectionOwner(d, selection, owner, CurrentTime);
    XSync(d, False);
    EXPECT_TRUE(system_.hasCompositor());

    // Windows made from now on can show their pixels' alpha.
    ASSERT_TRUE(system_.enableTranslucentWindows());
    const SdlWindow glass = sdlWindow("glass", Rect{0, 0, 50, 50}, SDL_WINDOW_HIDDEN);
    SDL_ResetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID);
    XWindowAttributes a{};
    ASSERT_TRUE(XGetWindowAttributes(d, system_.nativeWindow(glass.get()), &a));
    EXPECT_EQ(a.depth, 32);

    XSetSelectionOwner(d, selection, None, CurrentTime);
    XSync(d, False);
    EXPECT_FALSE(system_.hasCompositor());
}

TEST_F(WindowSystemTest, IdsAndShowingWithoutTheFocus) {
    const SdlWindow one = sdlWindow("WindowSystemTest one", Rect{50, 50, 250, 250});
    // Out of the taskbar, a tool window: clicks still focus it.
    const SdlWindow tool = sdlWindow("WindowSystemTest tool", Rect{400, 50, 600, 250},
                                     SDL_WINDOW_SKIP_TASKBAR | SDL_WINDOW_UTILITY);
    const NativeWindow oneId = system_.nativeWindow(one.get());
    const NativeWindow toolId = system_.nativeWindow(tool.get());

    for (const auto& [title, id] :
         {std::pair{"WindowSystemTest one", oneId}, std::pair{"WindowSystemTest tool", toolId}}) {
        int status = -1;
        std::istringstream found(
            testsupport::runAndCapture({"xdotool", "search", "--name", title}, &status));
        NativeWindow searched = 0;
        found >> searched;
        EXPECT_EQ(searched, id) << title;
    }

    // Shown without taking the focus: another window shown after it takes it, and it has had
    // none in between; a click still focuses it.
    const SdlWindow quiet = sdlWindow("quiet", Rect{400, 400, 600, 600}, SDL_WINDOW_HIDDEN);
    const SdlWindow loud = sdlWindow("loud", Rect{650, 400, 850, 600}, SDL_WINDOW_HIDDEN);
    const NativeWindow quietId = system_.nativeWindow(quiet.get());
    XSelectInput(x_.get(), quietId, FocusChangeMask);
    XSync(x_.get(), False);
    system_.showWithoutActivating(quiet.get());
    ASSERT_TRUE(viewable(quietId));
    SDL_ShowWindow(loud.get());
    awaitFocus(system_.nativeWindow(loud.get()));
    XEvent e;
    EXPECT_FALSE(XCheckTypedWindowEvent(x_.get(), quietId, FocusIn, &e));
    paint();
    click(onScreen(quietId, Point{20, 20}));
    awaitFocus(quietId);
}

}  // namespace
