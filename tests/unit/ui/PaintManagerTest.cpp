// What a window's paint manager does with the messages it is given, off-screen: capture while
// a button is held, the set-cursor flag, control timers, tooltips, and repainting only what was
// invalidated. Focus is checked with a real field in ControlBehaviourTest, key filters with the
// hotkey field in the views' ControlsTest.

#include "ui/core/PaintManager.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/core/Container.h"
#include "ui/render/Canvas.h"

namespace {

using ui::Control;
using ui::Event;
using ui::MakeLParam;
using ui::PaintManager;

// A control that records the events it gets.
class Probe : public Control {
public:
    explicit Probe(std::vector<std::string>* log, uint32_t flags = 0) : log_(log), flags_(flags) {}
    uint32_t GetControlFlags() const override { return flags_; }
    void DoEvent(Event& event) override {
        static const char* const names[] = {
            "move",  "leave",  "enter",   "hover", "down", "up",       "dbl",       "rdown", "rup",
            "wheel", "cursor", "keydown", "keyup", "char", "setfocus", "killfocus", "timer"};
        log_->push_back(GetName() + ":" + names[static_cast<int>(event.type)]);
        Control::DoEvent(event);
    }

private:
    std::vector<std::string>* log_;
    uint32_t flags_;
};

class Host : public ui::PaintHost {
public:
    void HostInvalidate(const ::Rect&) override {}
    void HostSetTimer(uint32_t id, uint32_t) override { timers.push_back(id); }
    void HostKillTimer(uint32_t) override {}
    void HostSetCursor(ui::Cursor cursor) override { lastCursor = cursor; }
    void HostCaptureMouse(bool capture) override { captured = capture; }
    void HostShowToolTip(const std::wstring& text, ::Point) override { toolTip = text; }
    void HostHideToolTip() override { toolTip.clear(); }
    void HostFocus() override {}
    std::vector<uint32_t> timers;
    ui::Cursor lastCursor = ui::Cursor::Hand;
    bool captured = false;
    std::wstring toolTip;
};

class Notes : public ui::INotify {
public:
    void Notify(ui::Notification& msg) override {
        heard.push_back(msg.type + ":" + (msg.sender ? msg.sender->GetName() : "?"));
    }
    std::vector<std::string> heard;
};

// Two probes side by side: a (0..50) and b (50..100), 40 high, over a root container.
class PaintManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto root = std::make_unique<ui::Container>();
        const auto add = [&](const char* name, uint32_t flags, const ::Rect& pos) {
            auto probe = std::make_unique<Probe>(&log, flags);
            probe->SetName(name);
            probe->SetFloat(true);
            probe->SetPos(pos);
            Probe* added = probe.get();
            root->Add(std::move(probe));
            return added;
        };
        a = add("a", 0, {0, 0, 50, 40});
        b = add("b", ui::UIFLAG_SETCURSOR, {50, 0, 100, 40});
        b->SetToolTip(L"tip of b");
        pm.Init(&host);
        pm.AttachDialog(std::move(root));
        pm.AddNotifier(&notes);
        pm.SetClientSize({100, 40});
        ui::Canvas canvas(0, 0);
        pm.Paint(canvas);  // lays out
        log.clear();
    }
    bool send(uint32_t msg, int x, int y, ui::WPARAM w = 0) {
        ui::LRESULT r = 0;
        return pm.MessageHandler(msg, w, MakeLParam(x, y), r);
    }

    std::vector<std::string> log;
    Host host;
    Notes notes;
    PaintManager pm;
    Probe* a = nullptr;
    Probe* b = nullptr;
};

TEST_F(PaintManagerTest, HotFollowsThePointerButAPressedControlKeepsTheMouse) {
    send(ui::WM_MOUSEMOVE, 10, 10);
    EXPECT_EQ(pm.GetHot(), a);
    send(ui::WM_LBUTTONDOWN, 10, 10);
    EXPECT_TRUE(host.captured);
    log.clear();
    // Held: moving over b and releasing there still goes to a.
    send(ui::WM_MOUSEMOVE, 70, 10, ui::kModLButton);
    send(ui::WM_LBUTTONUP, 70, 10);
    EXPECT_EQ(log, (std::vector<std::string>{"a:move", "a:up", "a:leave", "b:enter"}));
    EXPECT_FALSE(host.captured);
    EXPECT_EQ(pm.GetHot(), b);
}

TEST_F(PaintManagerTest, OnlyControlsWithTheSetCursorFlagChooseThePointer) {
    ui::LRESULT r = 0;
    send(ui::WM_MOUSEMOVE, 10, 10);
    pm.MessageHandler(ui::WM_SETCURSOR, 0, 0, r);
    EXPECT_EQ(host.lastCursor, ui::Cursor::Arrow);
    send(ui::WM_MOUSEMOVE, 70, 10);
    log.clear();
    pm.MessageHandler(ui::WM_SETCURSOR, 0, 0, r);
    EXPECT_EQ(log, std::vector<std::string>{"b:cursor"});
}

TEST_F(PaintManagerTest, ControlTimersAndTooltipsArriveThroughTheWindowsTimers) {
    pm.SetTimer(a, 7, 100);
    ASSERT_EQ(host.timers.size(), 1u);
    ui::LRESULT r = 0;
    pm.MessageHandler(ui::WM_TIMER, host.timers[0], 0, r);
    EXPECT_EQ(log, std::vector<std::string>{"a:timer"});

    // Resting on b starts the tooltip timer; when it fires the tooltip shows; leaving hides it.
    send(ui::WM_MOUSEMOVE, 70, 10);
    ASSERT_EQ(host.timers.back(), PaintManager::kToolTipTimer);
    pm.MessageHandler(ui::WM_TIMER, PaintManager::kToolTipTimer, 0, r);
    EXPECT_EQ(pm.GetShownToolTip(), L"tip of b");
    EXPECT_EQ(host.toolTip, L"tip of b");
    send(ui::WM_MOUSEMOVE, 10, 10);
    EXPECT_TRUE(pm.GetShownToolTip().empty());
    EXPECT_TRUE(host.toolTip.empty());
}

TEST_F(PaintManagerTest, OnlyTheInvalidatedRectIsRepainted) {
    ui::Canvas canvas(0, 0);
    pm.PaintAll(canvas);
    EXPECT_TRUE(pm.Paint(canvas).width() == 0) << "nothing was invalid";
    canvas.fillRect({0, 0, 100, 40}, 0xFF123456);  // marks every pixel
    pm.Invalidate({60, 5, 70, 15});
    const ::Rect painted = pm.Paint(canvas);
    EXPECT_EQ(painted, (::Rect{60, 5, 70, 15}));
    EXPECT_EQ(canvas.pixel(10, 10), 0xFF123456u) << "outside the invalid rect";
    EXPECT_NE(canvas.pixel(65, 10), 0xFF123456u) << "inside the invalid rect";
}

}  // namespace
