// The low-level hooks against the system: input made with SendInput (from another thread, as
// a user's keyboard is) reaches the procedures on the UI loop, in order and in full.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "Await.h"
#include "platform/InputHooks.h"

namespace {

using namespace std::chrono_literals;

INPUT key(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return in;
}

INPUT mouse(DWORD flags, LONG x = 0, LONG y = 0, DWORD data = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = x;
    in.mi.dy = y;
    in.mi.mouseData = data;
    in.mi.dwFlags = flags;
    return in;
}

// Sends the input from a thread of its own, as a device would. The system waits for the
// hooks on each event, so the UI loop must run meanwhile; the thread is joined after it.
class Sender {
public:
    explicit Sender(std::vector<INPUT> inputs) : inputs_(std::move(inputs)) {
        thread_ = std::thread([this] {
            sent_ = SendInput(static_cast<UINT>(inputs_.size()), inputs_.data(), sizeof(INPUT));
        });
    }
    ~Sender() {
        thread_.join();
        EXPECT_EQ(sent_, inputs_.size());
    }

private:
    std::vector<INPUT> inputs_;
    UINT sent_ = 0;  // written by the thread, read after it is joined
    std::thread thread_;
};

class Hooks : public ::testing::Test {
protected:
    void TearDown() override {
        hooks_.removeKeyboardHook();
        hooks_.removeMouseHook();
    }
    platform::InputHooks& hooks_ = platform::InputHooks::system();
};

// Keys in order with left and right told apart, what was down before each one, and the key
// state as the procedure sees it.
TEST_F(Hooks, TheKeyboardHookSeesSentKeysInOrder) {
    std::vector<platform::KeyboardEvent> events;
    std::vector<bool> shiftDownInProc;
    ASSERT_EQ(hooks_.installKeyboardHook([&](const platform::KeyboardEvent& e) {
        events.push_back(e);
        shiftDownInProc.push_back(hooks_.isKeyDown(vk::Shift));
    }),
              0u);
    Sender sender({key('A', false), key('A', true), key(VK_LSHIFT, false), key('B', false),
                   key('B', true), key(VK_LSHIFT, true), key(VK_RCONTROL, false),
                   key(VK_RCONTROL, true)});
    ASSERT_EQ(testsupport::runLoop(5s, [&] { return events.size() >= 8; }), 0)
        << "got " << events.size() << " of 8 key events";

    struct Want {
        uint32_t message;
        uint32_t vk;
        bool shiftWasDown;
    };
    const Want want[] = {
        {platform::msg::KeyDown, 'A', false},
        {platform::msg::KeyUp, 'A', false},
        {platform::msg::KeyDown, VK_LSHIFT, false},
        {platform::msg::KeyDown, 'B', true},
        {platform::msg::KeyUp, 'B', true},
        {platform::msg::KeyUp, VK_LSHIFT, true},
        {platform::msg::KeyDown, VK_RCONTROL, false},
        {platform::msg::KeyUp, VK_RCONTROL, false},
    };
    ASSERT_EQ(events.size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(events[i].message, want[i].message);
        EXPECT_EQ(events[i].vkCode, want[i].vk);
        EXPECT_EQ(events[i].isKeyDown(vk::Shift), want[i].shiftWasDown);
        EXPECT_NE(events[i].scanCode, 0u);
    }
    EXPECT_TRUE(events[7].isKeyDown(VK_RCONTROL));
    EXPECT_FALSE(events[7].isKeyDown(VK_LCONTROL));
    // When the procedure runs, the shift taken down before 'B' is down; after its release
    // it is up.
    EXPECT_TRUE(shiftDownInProc[3]);
    EXPECT_FALSE(hooks_.isKeyDown(vk::Shift));
}

// Moves to an absolute place, buttons and the wheel; and once the keyboard hook is gone, its
// procedure gets nothing more, while the mouse hook goes on.
TEST_F(Hooks, TheMouseHookSeesSentMouseInputAndARemovedHookNothing) {
    std::vector<platform::MouseEvent> events;
    int keys = 0;
    ASSERT_EQ(hooks_.installKeyboardHook([&](const platform::KeyboardEvent&) { ++keys; }), 0u);
    ASSERT_EQ(hooks_.installMouseHook([&](const platform::MouseEvent& e) { events.push_back(e); }),
              0u);
    hooks_.removeKeyboardHook();
    // 65535 spans the primary screen: (1000, 500) on the 1920 x 1080 test display.
    Sender sender({key('C', false), key('C', true),
                   mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, 1000 * 65536 / 1920 + 1,
                         500 * 65536 / 1080 + 1),
                   mouse(MOUSEEVENTF_LEFTDOWN), mouse(MOUSEEVENTF_LEFTUP),
                   mouse(MOUSEEVENTF_WHEEL, 0, 0, static_cast<DWORD>(-WHEEL_DELTA))});
    ASSERT_EQ(testsupport::runLoop(5s, [&] { return events.size() >= 4; }), 0)
        << "got " << events.size() << " of 4 mouse events";
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].message, platform::msg::MouseMove);
    EXPECT_EQ(events[0].pt.x, 1000);
    EXPECT_EQ(events[0].pt.y, 500);
    EXPECT_EQ(events[1].message, platform::msg::LButtonDown);
    EXPECT_EQ(events[2].message, platform::msg::LButtonUp);
    EXPECT_EQ(events[3].message, platform::msg::MouseWheel);
    EXPECT_EQ(events[3].mouseData, -120);
    EXPECT_EQ(events[3].pt.x, 1000);
    EXPECT_EQ(keys, 0) << "the removed keyboard hook's procedure ran";
}

TEST_F(Hooks, KeyNamesAreTheKeyboardsOwn) {
    EXPECT_EQ(hooks_.keyName(VK_F8), L"F8");
    EXPECT_EQ(hooks_.keyName('A'), L"A");
    EXPECT_NE(hooks_.keyName(VK_SPACE), L"");
    EXPECT_NE(hooks_.keyName(VK_PRIOR), hooks_.keyName(VK_NUMPAD9)) << "told apart by extension";
    EXPECT_EQ(hooks_.keyName(0xFF), L"");
}

}  // namespace
