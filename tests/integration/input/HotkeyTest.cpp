// The real hooks on a private X server, driven through XTEST as a keyboard and mouse would:
// what reaches the UI loop, the dispatcher and the cursor record.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Await.h"
#include "TestServers.h"
#include "engine/CursorState.h"
#include "flux/ActionDispatcher.h"
#include "flux/Actions.h"
#include "flux/InputRouter.h"
#include "input/InputManager.h"

namespace {

const auto* const kX = ::testing::AddGlobalTestEnvironment(new testsupport::XvfbEnvironment);

using Codes = std::vector<std::string>;

// Scroll Lock is no hotkey here: once its code has come, everything sent before it has been
// handled. It has a key of its own on the server, as has every key used here.
const char* const kSentinel = "000145";

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

class Hotkeys : public ::testing::Test, IActionListener {
protected:
    Hotkeys() : display_(XOpenDisplay(nullptr)) {
        dispatcher_.addListener(Action::HotkeyPressed, this);
    }
    void SetUp() override {
        ASSERT_TRUE(display_);
        manager_.installHooks();
        ASSERT_TRUE(manager_.keyboardHookInstalled());
        ASSERT_TRUE(manager_.mouseHookInstalled());
    }
    void TearDown() override { manager_.removeHooks(); }

    // Codes arrive only while a test awaits one: a burst of repeats may overrun it.
    void onAction(int32_t, void* payload) override {
        if (awaited_.empty()) {
            return;
        }
        codes_.push_back(*static_cast<const std::string*>(payload));
        if (codes_.back() == awaited_ && --count_ == 0) {
            awaited_.clear();
            platform::MessageLoop::ui().quit(0);
        }
    }

    // Sends the keys: "F8" a press and release, "+Shift_L" a press, "-Shift_L" a release. Only
    // flushed, the server has nothing to send back to this client.
    void send(const std::string& keys, bool flushOnly = false) {
        std::istringstream in(keys);
        for (std::string key; in >> key;) {
            const bool press = key[0] != '-';
            const bool release = key[0] != '+';
            const std::string name = press && release ? key : key.substr(1);
            const KeyCode code = XKeysymToKeycode(display_.get(), XStringToKeysym(name.c_str()));
            EXPECT_NE(code, 0) << name;
            if (press) {
                XTestFakeKeyEvent(display_.get(), code, True, CurrentTime);
            }
            if (release) {
                XTestFakeKeyEvent(display_.get(), code, False, CurrentTime);
            }
        }
        flushOnly ? XFlush(display_.get()) : XSync(display_.get(), False);
    }

    // Sends the keys and runs the UI loop until the awaited code has come `count` times; the
    // codes that came.
    Codes type(const std::string& keys, const std::string& awaited, int count = 1,
               bool flushOnly = false) {
        codes_.clear();
        awaited_ = awaited;
        count_ = count;
        send(keys, flushOnly);
        const int result = testsupport::runLoop(std::chrono::seconds(15));
        EXPECT_NE(result, testsupport::kLoopTimedOut)
            << awaited << " did not come within 15 s after " << keys << "; got "
            << ::testing::PrintToString(codes_);
        awaited_.clear();
        return codes_;
    }

    DisplayPtr display_;
    ActionDispatcher dispatcher_;
    CursorState cursor_;
    InputRouter router_{dispatcher_, cursor_};
    InputManager manager_{platform::InputHooks::system(), router_};
    Codes codes_;
    std::string awaited_;
    int count_ = 0;
};

// Each key-down with the modifiers held before it: Ctrl of either side, the left Shift, Alt.
TEST_F(Hotkeys, KeyDownsCarryTheModifiersHeldBeforeThem) {
    const std::pair<const char*, Codes> cases[] = {
        {"F8", {"000119"}},
        {"+Control_L +Shift_L F8 -Shift_L -Control_L", {"000162", "100160", "110119"}},
        {"+Alt_L a -Alt_L", {"000164", "001065"}},
        {"+Shift_R F8 -Shift_R", {"000161", "000119"}},
        {"+Shift_R +Shift_L F8 -Shift_L -Shift_R", {"000161", "000160", "010119"}},
        {"+Control_R Control_L -Control_R", {"000163", "100162"}},
    };
    for (const auto& [keys, codes] : cases) {
        EXPECT_EQ(type(keys, codes.back()), codes) << keys;
    }
}

TEST_F(Hotkeys, AHeldKeyRepeats) {
    EXPECT_EQ(type("+F9", "000120", 2), (Codes{"000120", "000120"}));
    type("-F9 Scroll_Lock", kSentinel);
}

// A first key switches the server's keyboard to the injecting device, which it tells every
// client; after that nobody waits for anything, so the server has no reason of its own to send
// the reader what it recorded.
TEST_F(Hotkeys, KeysArriveWhenNoClientGetsAnyOutput) {
    type("F12", "000123");
    EXPECT_EQ(type("F11", "000122", 1, /*flushOnly=*/true), Codes{"000122"});
}

// The hooks only watch: the window with the focus still gets the key.
TEST_F(Hotkeys, TheFocusedWindowStillGetsTheKey) {
    DisplayPtr other(XOpenDisplay(nullptr));
    Display* d = other.get();
    const Window window = XCreateSimpleWindow(d, DefaultRootWindow(d), 100, 100, 300, 200, 0, 0, 0);
    XSelectInput(d, window, KeyPressMask | StructureNotifyMask);
    XMapWindow(d, window);
    XEvent event;
    ASSERT_TRUE(
        testsupport::waitFor([&] { return XCheckTypedWindowEvent(d, window, MapNotify, &event); },
                             std::chrono::seconds(10), "the window to be mapped"));
    XSetInputFocus(d, window, RevertToPointerRoot, CurrentTime);
    XSync(d, False);

    EXPECT_EQ(type("F8", "000119"), Codes{"000119"});
    EXPECT_TRUE(
        testsupport::waitFor([&] { return XCheckTypedWindowEvent(d, window, KeyPress, &event); },
                             std::chrono::seconds(5), "the key (was it swallowed?)"));
}

TEST_F(Hotkeys, MouseMovesAndPressesReachTheCursorRecord) {
    Display* d = display_.get();
    struct Step {
        int x, y, button;  // button: 1 pressed, -1 released, 3 a right click, 0 none
        int pressed;       // the record's flag afterwards
    };
    const Step steps[] = {
        {321, 654, 0, 0}, {321, 654, 1, 1}, {400, 500, 0, 0},  // the next motion ends the press
        {1919, 0, -1, 0}, {1919, 0, 1, 1},  {1919, 0, -1, 0},  // the button-up ends it
        {1919, 0, 1, 1},  {1919, 0, 3, 0},                     // and so does another button
    };
    const Step* previous = nullptr;
    for (const Step& s : steps) {
        if (!previous || previous->x != s.x || previous->y != s.y) {
            XTestFakeMotionEvent(d, -1, s.x, s.y, CurrentTime);
        }
        previous = &s;
        const unsigned button = s.button == 3 ? 3 : 1;
        if (s.button > 0) {
            XTestFakeButtonEvent(d, button, True, CurrentTime);
        }
        if (s.button < 0 || s.button == 3) {
            XTestFakeButtonEvent(d, button, False, CurrentTime);
        }
        type("Scroll_Lock", kSentinel);
        EXPECT_EQ(cursor_.x.load(), s.x);
        EXPECT_EQ(cursor_.y.load(), s.y);
        EXPECT_EQ(cursor_.pressed.load(), s.pressed) << s.x << "," << s.y << " " << s.button;
    }
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
}

TEST_F(Hotkeys, RemovedHooksDeliverNothingAndComeBackWhenInstalledAgain) {
    manager_.removeHooks();
    EXPECT_FALSE(manager_.keyboardHookInstalled());
    send("F7");
    manager_.installHooks();
    EXPECT_EQ(type("Scroll_Lock", kSentinel), Codes{kSentinel});
}

}  // namespace
