// The Store with the real engine behind it, on a private X display and sound server. Each test
// has a Store and a dispatcher of its own and listens to the notifications as the views would.
#include "flux/Store.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <algorithm>
#include <map>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "TestServers.h"
#include "engine/Controller.h"
#include "flux/ActionDispatcher.h"
#include "flux/ActionPayloads.h"
#include "flux/Actions.h"
#include "flux/SettingsFile.h"
#include "platform/Strings.h"

namespace {

const auto* const kX = ::testing::AddGlobalTestEnvironment(new testsupport::XvfbEnvironment);
const auto* const kPulse = ::testing::AddGlobalTestEnvironment(new testsupport::PulseEnvironment);

// Everything the Store tells the views, in order.
struct Views : IActionListener {
    explicit Views(ActionDispatcher& d) {
        for (int32_t id : {18, 20, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 51, 53, 59, 61,
                           63, 64, 67}) {
            d.addListener(id, this);
        }
    }
    void onAction(int32_t id, void* payload) override {
        ids.push_back(id);
        switch (id) {
            case Action::CaptureRectChanged: rects.push_back(*static_cast<Rect*>(payload)); break;
            case Action::ShowMessage:
                messages.push_back(WideToAnsi(*static_cast<const wchar_t* const*>(payload)));
                break;
            case Action::ShowMessageWithLink:
                messages.push_back(
                    WideToAnsi(static_cast<MessageWithLinkPayload*>(payload)->text));
                break;
            case Action::CaptureCameraChanged:
            case Action::CapturePlaybackChanged:
            case Action::CaptureMicrophoneChanged:
                bools[id] = *static_cast<bool*>(payload);
                break;
            default: break;
        }
    }
    int count(int32_t id) const { return static_cast<int>(std::count(ids.begin(), ids.end(), id)); }
    void clear() {
        ids.clear();
        rects.clear();
        messages.clear();
    }
    std::vector<int32_t> ids;
    std::vector<Rect> rects;
    std::vector<std::string> messages;
    std::map<int32_t, bool> bools;
};

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { views_ = std::make_unique<Views>(dispatcher_); }
    void send(int32_t id, void* payload = nullptr) { dispatcher_.dispatch(id, payload); }
    void initWith(const std::string& settings) {
        if (!settings.empty()) {
            std::ofstream(dir_.file("s.json")) << settings;
        }
        store_.setSettingPath(AnsiToWide(dir_.file("s.json")));
        store_.setVideoPath(AnsiToWide(dir_.file("out.mp4")));
        store_.init();
    }

    testsupport::TempDir dir_;
    ActionDispatcher dispatcher_;
    std::unique_ptr<Views> views_;
    Store store_{dispatcher_};
};

TEST_F(StoreTest, DefaultsAreAppliedAndShown) {
    initWith("");
    EXPECT_EQ(store_.state(), StoreState::Idle);
    EXPECT_EQ(store_.quality(), 0);
    EXPECT_EQ(store_.video().bitrate, 1500000);
    EXPECT_EQ(store_.audio().bitrate, 192000);
    EXPECT_EQ(store_.mouse().pointStyle, 8);
    EXPECT_EQ(store_.mouse().shapeStyle, -1);
    EXPECT_TRUE(store_.audio().capturePlayback);  // the private sound server is there
    EXPECT_FALSE(store_.audio().captureMicrophone);
    EXPECT_DOUBLE_EQ(store_.audio().filterWC, 0.4);
    EXPECT_EQ(store_.endHotkeyCode(), "000121");
    ASSERT_FALSE(views_->rects.empty());
    EXPECT_EQ(views_->rects.back(), (Rect{0, 0, 1920, 1080}));
    EXPECT_EQ(views_->count(Action::HotkeyChanged), 3);
    EXPECT_TRUE(views_->messages.empty());
    EXPECT_DOUBLE_EQ(store_.scaleX(), 1.0);
}

TEST_F(StoreTest, SettingsFileValuesGoThroughTheOperations) {
    initWith(R"({"quality":2,"video":{"bitrate":999,"captureRect":{"left":10,"top":10,)"
             R"("right":511,"bottom":411}},"audio":{"filterWC":1,"capturePlayback":false},)"
             R"("hotkey":[{"action":1},{"action":2,"keycode":"100121"}],"extra":{"x":1}})");
    EXPECT_EQ(store_.quality(), 2);
    EXPECT_EQ(store_.video().bitrate, 999);
    EXPECT_EQ(store_.audio().bitrate, 96000);
    EXPECT_EQ(store_.video().captureRect, (Rect{10, 10, 510, 410}));
    EXPECT_FALSE(store_.audio().capturePlayback);
    EXPECT_EQ(store_.hotkeys().get(1), "000120");
    EXPECT_EQ(store_.endHotkeyCode(), "100121");

    std::string saved;
    ASSERT_TRUE(SettingsFile::serialize(store_.currentSettings(), saved));
    EXPECT_NE(saved.find(R"("filterWC":1.0)"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("extra"), std::string::npos);
    EXPECT_NE(saved.find(R"("captureRect":{"left":10,"top":10,"right":510,"bottom":410})"),
              std::string::npos);
}

TEST_F(StoreTest, CaptureAreaRequests) {
    initWith("");
    views_->clear();
    Rect odd{0, 0, 1001, 601};
    send(Action::SetCaptureRect, &odd);
    EXPECT_EQ(store_.video().captureRect, (Rect{0, 0, 1000, 600}));
    int32_t item = 4;
    send(Action::ChooseCaptureArea, &item);
    EXPECT_EQ(store_.video().captureRect, (Rect{320, 180, 1600, 900}));
    item = 7;  // nothing remembered
    send(Action::ChooseCaptureArea, &item);
    EXPECT_EQ(store_.video().captureRect, (Rect{320, 180, 1600, 900}));
    EXPECT_EQ(views_->rects.size(), 2u);
}

TEST_F(StoreTest, RequestsThatChangeNothing) {
    initWith("");
    views_->clear();
    int32_t gpu = 1;
    send(Action::SetCaptureMethod, &gpu);
    bool on = true;
    send(Action::SetCaptureCamera, &on);  // no camera file was asked for
    int32_t device = 2;
    send(Action::SelectCameraDevice, &device);
    EXPECT_EQ(views_->count(Action::CaptureMethodChanged), 0);
    EXPECT_EQ(views_->count(Action::CaptureCameraChanged), 1);
    EXPECT_FALSE(views_->bools[Action::CaptureCameraChanged]);
    EXPECT_EQ(views_->count(Action::CameraDeviceChanged), 0);
    EXPECT_TRUE(views_->messages.empty());
    EXPECT_FALSE(store_.camera().isCaptureCamera);
}

TEST_F(StoreTest, SmallAreaIsRefusedButOneLongSideIsEnough) {
    initWith("");
    Rect small{0, 0, 150, 150};
    send(Action::SetCaptureRect, &small);
    views_->clear();
    send(Action::StartRecording);
    EXPECT_EQ(views_->messages, std::vector<std::string>{"Please select capture area"});
    EXPECT_EQ(store_.state(), StoreState::Idle);

    Rect tall{0, 0, 150, 300};
    send(Action::SetCaptureRect, &tall);
    views_->clear();
    send(Action::StartRecording);
    EXPECT_TRUE(views_->messages.empty());
    EXPECT_EQ(store_.state(), StoreState::CountingDown);
    EXPECT_EQ(views_->count(Action::CountDownStart), 1);
    send(Action::EndRecording);
    EXPECT_EQ(store_.state(), StoreState::Ended);
    EXPECT_EQ(views_->count(Action::RecordingEnded), 1);
}

TEST_F(StoreTest, FailedPreparationShowsItsMessageAndStaysIdle) {
    initWith("");
    store_.setVideoPath(AnsiToWide(dir_.file("missing/folder/out.mp4")));
    views_->clear();
    send(Action::StartRecording);
    EXPECT_EQ(views_->messages, std::vector<std::string>{"Exception occurred in initializion"});
    EXPECT_EQ(store_.state(), StoreState::Idle);
    EXPECT_EQ(views_->count(Action::CountDownStart), 0);
    // The settings were saved before the engine was asked.
    EXPECT_TRUE(testsupport::fileExists(dir_.file("s.json")));
}

TEST_F(StoreTest, HotkeysDriveTheRecordingAndAreThrottled) {
    initWith("");
    Rect area{0, 0, 320, 240};
    send(Action::SetCaptureRect, &area);
    std::string f8 = "000119", f9 = "000120", f10 = "000121";
    const auto press = [&](std::string& code) {
        // Presses further apart than the throttle; waiting is the point here.
        std::this_thread::sleep_for(std::chrono::milliseconds(110));
        send(Action::HotkeyPressed, &code);
    };
    press(f8);
    ASSERT_EQ(store_.state(), StoreState::CountingDown);
    press(f9);  // nothing during the count-down
    EXPECT_EQ(store_.state(), StoreState::CountingDown);
    send(Action::CountDownFinished);
    ASSERT_EQ(store_.state(), StoreState::Recording);
    press(f9);
    EXPECT_EQ(store_.state(), StoreState::Paused);
    send(Action::HotkeyPressed, &f9);  // within 100 ms: ignored
    EXPECT_EQ(store_.state(), StoreState::Paused);
    press(f9);
    EXPECT_EQ(store_.state(), StoreState::Recording);
    press(f10);
    EXPECT_EQ(store_.state(), StoreState::Ended);
    EXPECT_EQ(store_.controller().state(), Controller::Stopped);
    EXPECT_EQ(views_->count(Action::RecordingPaused), 1);
    EXPECT_EQ(views_->count(Action::RecordingResumed), 1);
    EXPECT_EQ(views_->count(Action::RecordingEnded), 1);
}

}  // namespace
