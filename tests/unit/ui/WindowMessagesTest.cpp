// Messages and timers between windows, without a display: windows made off-screen still have
// ids, handlers and timers on the UI loop.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "Await.h"
#include "ui/window/WindowBase.h"

namespace {

using namespace std::chrono_literals;
constexpr uint32_t kPing = ui::WM_USER + 1;

class Recorder : public ui::WindowBase {
public:
    explicit Recorder(std::vector<std::string>* log, std::string name)
        : log_(log), name_(std::move(name)) {}

    ui::LRESULT HandleMessage(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) override {
        if (msg == kPing) {
            log_->push_back(name_ + ":" + std::to_string(wParam));
            return static_cast<ui::LRESULT>(wParam) * 2;
        }
        if (msg == ui::WM_TIMER) {
            log_->push_back(name_ + ":timer" + std::to_string(wParam));
            return 0;
        }
        return ui::WindowBase::HandleMessage(msg, wParam, lParam);
    }

private:
    std::vector<std::string>* log_;
    std::string name_;
};

TEST(WindowMessagesTest, SendIsAnsweredAtOncePostRunsLaterInOrder) {
    std::vector<std::string> log;
    Recorder a(&log, "a");
    ASSERT_TRUE(a.CreateOffscreen(L"a", ui::WS_POPUP, 0));
    EXPECT_EQ(ui::SendMessage(a.GetHWND(), kPing, 21), 42);
    EXPECT_EQ(log, std::vector<std::string>{"a:21"});

    log.clear();
    ui::PostMessage(a.GetHWND(), kPing, 1);
    std::thread other([id = a.GetHWND()] { ui::PostMessage(id, kPing, 2); });
    other.join();
    ui::PostMessage(a.GetHWND(), kPing, 3);
    EXPECT_TRUE(log.empty()) << "a posted message ran before the loop did";
    EXPECT_EQ(testsupport::runLoop(5s, [&] { return log.size() == 3; }), 0);
    EXPECT_EQ(log, (std::vector<std::string>{"a:1", "a:2", "a:3"}));
}

TEST(WindowMessagesTest, AWindowThatIsGoneGetsNothing) {
    std::vector<std::string> log;
    Recorder a(&log, "a");
    Recorder b(&log, "b");
    ASSERT_TRUE(a.CreateOffscreen(L"a", ui::WS_POPUP, 0));
    ASSERT_TRUE(b.CreateOffscreen(L"b", ui::WS_POPUP, 0));
    const ui::WindowId gone = a.GetHWND();
    ui::PostMessage(gone, kPing, 1);
    a.DestroyWindow();
    ui::PostMessage(b.GetHWND(), kPing, 2);  // runs after the message to the gone window
    EXPECT_EQ(testsupport::runLoop(5s, [&] { return !log.empty(); }), 0);
    EXPECT_EQ(log, std::vector<std::string>{"b:2"});
    EXPECT_EQ(ui::SendMessage(gone, kPing, 5), 0);
    EXPECT_FALSE(ui::WindowBase::IsWindow(gone));
}

TEST(WindowMessagesTest, TimersOfTwoWindowsWithTheSameIdBothFire) {
    std::vector<std::string> log;
    Recorder a(&log, "a");
    Recorder b(&log, "b");
    ASSERT_TRUE(a.CreateOffscreen(L"a", ui::WS_POPUP, 0));
    ASSERT_TRUE(b.CreateOffscreen(L"b", ui::WS_POPUP, 0));
    a.SetTimer(1, 10);
    b.SetTimer(1, 10);
    const auto heard = [&](const std::string& s) {
        return std::find(log.begin(), log.end(), s) != log.end();
    };
    EXPECT_EQ(testsupport::runLoop(5s, [&] { return heard("a:timer1") && heard("b:timer1"); }), 0);
    // Killing one window's timer leaves the other's running.
    a.KillTimer(1);
    log.clear();
    EXPECT_EQ(testsupport::runLoop(
                  5s, [&] { return std::count(log.begin(), log.end(), "b:timer1") >= 3; }),
              0);
    EXPECT_FALSE(heard("a:timer1"));
}

}  // namespace
