// The Store over stand-ins for the engine, the desktop, the clock and the hooks. Each test has
// a Store and a dispatcher of its own and hears the notifications as the views would.
#include "flux/Store.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

#include "ChildProcess.h"
#include "SettingsSamples.h"
#include "StoreFakes.h"
#include "engine/CursorState.h"
#include "flux/ActionDispatcher.h"
#include "flux/ActionPayloads.h"
#include "flux/Actions.h"
#include "input/InputManager.h"
#include "platform/MessageLoop.h"
#include "platform/Strings.h"

namespace {

using namespace storefakes;

// Every notification as a line: its name, then its payload.
class Views : public IActionListener {
public:
    explicit Views(ActionDispatcher& dispatcher) {
        for (const auto& entry : kNames) {
            dispatcher.addListener(entry.first, this);
        }
    }
    void onAction(int32_t id, void* p) override {
        std::string line = kNames.at(id);
        const auto add = [&](const std::string& value) { line += " " + value; };
        switch (id) {
            case Action::CaptureRectChanged:
                add(text(*static_cast<Rect*>(p)));
                break;
            case Action::HotkeyChanged: {
                const auto& hotkey = *static_cast<HotkeyPayload*>(p);
                add(std::to_string(hotkey.action) + " " + hotkey.keycode);
                break;
            }
            case Action::FilterCoefficientChanged: {
                char number[32];
                std::snprintf(number, sizeof number, "%g", *static_cast<double*>(p));
                add(number);
                break;
            }
            case Action::ShowMessage:
                add(WideToAnsi(*static_cast<const wchar_t**>(p)));
                break;
            case Action::ShowMessageWithLink: {
                const auto& m = *static_cast<MessageWithLinkPayload*>(p);
                add(WideToAnsi(m.text) + (m.onClick == &Store::OpenHelpPage ? " [help] " : " ") +
                    std::to_string(m.interval) + " " + std::to_string(m.duration));
                break;
            }
            case Action::CaptureMicrophoneChanged:
            case Action::CapturePlaybackChanged:
            case Action::FilterMicChanged:
            case Action::CaptureCameraChanged:
            case Action::OnlyCaptureCameraChanged:
                add(*static_cast<bool*>(p) ? "on" : "off");
                break;
            case Action::CaptureMethodChanged:
            case Action::PointStyleChanged:
            case Action::ShapeStyleChanged:
            case Action::PressStyleChanged:
            case Action::QualityChanged:
            case Action::CameraDeviceChanged:
                add(std::to_string(*static_cast<int32_t*>(p)));
                break;
            default:
                break;  // no payload
        }
        lines.push_back(line);
    }

    Journal lines;

private:
    inline static const std::map<int32_t, std::string> kNames = {
        {Action::CaptureMethodChanged, "CaptureMethodChanged"},
        {Action::CaptureRectChanged, "CaptureRectChanged"},
        {Action::CaptureMicrophoneChanged, "CaptureMicrophoneChanged"},
        {Action::CapturePlaybackChanged, "CapturePlaybackChanged"},
        {Action::PointStyleChanged, "PointStyleChanged"},
        {Action::ShapeStyleChanged, "ShapeStyleChanged"},
        {Action::PressStyleChanged, "PressStyleChanged"},
        {Action::QualityChanged, "QualityChanged"},
        {Action::HotkeyChanged, "HotkeyChanged"},
        {Action::RecordingStarted, "RecordingStarted"},
        {Action::RecordingPaused, "RecordingPaused"},
        {Action::RecordingResumed, "RecordingResumed"},
        {Action::RecordingEnded, "RecordingEnded"},
        {Action::CountDownStart, "CountDownStart"},
        {Action::FilterMicChanged, "FilterMicChanged"},
        {Action::FilterCoefficientChanged, "FilterCoefficientChanged"},
        {Action::CaptureCameraChanged, "CaptureCameraChanged"},
        {Action::OnlyCaptureCameraChanged, "OnlyCaptureCameraChanged"},
        {Action::CameraDeviceChanged, "CameraDeviceChanged"},
        {Action::ShowMessage, "ShowMessage"},
        {Action::ShowMessageWithLink, "ShowMessageWithLink"},
    };
};

using Payload = std::variant<std::monostate, int32_t, bool, double, Rect, HotkeyPayload,
                             std::string, TestCameraPayload>;

// A request, the notifications it is answered with and what it asks of the engine.
struct Step {
    int32_t id;
    Payload payload;
    Journal views;
    Journal calls;
};

const std::string kF8 = "000119", kF9 = "000120", kF10 = "000121";

class StoreTest : public ::testing::Test {
protected:
    // A Store on the stand-ins as they are now, with a camera file and this settings file.
    Store& init(const std::string& settings = "") {
        if (!settings.empty()) {
            std::ofstream(settingsFile()) << settings;
        }
        store_.emplace(dispatcher_, engine_, engine_, &screen_, clock_, input_);
        store_->setSettingPath(AnsiToWide(settingsFile()));
        store_->setVideoPath(L"out.mp4");
        store_->setCameraPath(L"cam.mp4");
        store_->init();
        return *store_;
    }
    // The same, with what the initialisation notified and called forgotten.
    Store& ready() {
        init();
        views();
        calls();
        return *store_;
    }
    void send(int32_t id, Payload payload = {}) {
        std::visit(
            [&](auto& value) {
                using T = std::decay_t<decltype(value)>;
                dispatcher_.dispatch(id, std::is_same_v<T, std::monostate> ? nullptr : &value);
            },
            payload);
    }
    // A hotkey pressed `after` ms after the previous press.
    void press(const std::string& code, uint32_t after = 100) {
        clock_.now += after;
        send(Action::HotkeyPressed, code);
    }
    void run(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            send(step.id, step.payload);
            EXPECT_EQ(views(), step.views) << "answering action " << step.id;
            EXPECT_EQ(calls(), step.calls) << "answering action " << step.id;
        }
    }
    // What was notified and called since the last look.
    Journal views() { return std::exchange(views_.lines, {}); }
    Journal calls() { return std::exchange(engine_.journal, {}); }
    std::string settingsFile() const { return dir_.file("s.json"); }

    testsupport::TempDir dir_;
    FakeEngine engine_;
    FakeScreen screen_;
    FakeClock clock_;
    FakeHooks hooks_;
    CursorState cursor_;
    ActionDispatcher dispatcher_;
    InputManager input_{hooks_, dispatcher_, cursor_};
    Views views_{dispatcher_};
    std::optional<Store> store_;
};

TEST_F(StoreTest, InitShowsEveryDefaultAndTheStartSavesThemAndPreparesTheEngine) {
    Store& store = init();
    EXPECT_EQ(
        views(),
        Journal({"QualityChanged 0", "PressStyleChanged -1", "ShapeStyleChanged -1",
                 "PointStyleChanged 8", "CaptureMicrophoneChanged off", "CapturePlaybackChanged on",
                 "CameraDeviceChanged -1", "CaptureCameraChanged off",
                 "OnlyCaptureCameraChanged off", "CaptureMethodChanged 0", "HotkeyChanged 0 000119",
                 "HotkeyChanged 1 000120", "HotkeyChanged 2 000121", "FilterMicChanged off",
                 "FilterCoefficientChanged 0.4", "CaptureRectChanged 0 0 1920 1080"}));
    EXPECT_EQ(calls(), Journal({"open playback", "release camera", "only camera off", "filter off",
                                "wc 0.4"}));
    EXPECT_EQ(store.state(), StoreState::Idle);
    EXPECT_EQ(store.endHotkeyCode(), "000121");
    EXPECT_TRUE(input_.keyboardHookInstalled());

    run({{Action::StartRecording,
          {},
          {"CountDownStart"},
          {"init out.mp4 0 0 1920 1080 30 1500000 cam.mp4", "cursor 103 -1 -1"}}});
    EXPECT_EQ(testsupport::readFile(settingsFile()), kDefaultsLine);
    EXPECT_EQ(store.state(), StoreState::CountingDown);
}

TEST_F(StoreTest, SettingsFileValuesGoThroughTheOperations) {
    Store& store =
        init(R"({"quality":2,"video":{"bitrate":999,"captureRect":{"left":10,"top":10,)"
             R"("right":511,"bottom":411}},"audio":{"filterWC":1,"capturePlayback":false},)"
             R"("hotkey":[{"action":1},{"action":2,"keycode":"100121"}],"extra":{"x":1}})");
    EXPECT_EQ(calls(), Journal({"open playback", "release camera", "only camera off", "filter off",
                                "wc 0.4", "close playback", "wc 1"}));
    EXPECT_EQ(store.endHotkeyCode(), "100121");
    send(Action::StartRecording);
    EXPECT_EQ(calls().front(), "init out.mp4 10 10 510 410 30 999 cam.mp4");
    EXPECT_EQ(testsupport::readFile(settingsFile()),
              R"({"quality":2,"mouse":{"pointStyle":8,"pressStyle":-1,"shapeStyle":-1},)"
              R"("video":{"captureRect":{"left":10,"top":10,"right":510,"bottom":410},)"
              R"("bitrate":999,"fps":0,"captureMethod":0},)"
              R"("audio":{"sampleRate":44100,"bitrate":96000,"channels":2,"bits":16,)"
              R"("captureMicrophone":0,"capturePlayback":0,"filterMic":0,"filterWC":1.0},)"
              R"("camera":{"isCaptureCamera":false,"isOnlyCaptureCamera":false,"device":-1},)"
              R"("hotkey":[{"action":0,"keycode":"000119"},{"action":1,"keycode":"000120"},)"
              R"({"action":2,"keycode":"100121"}]})");
}

TEST_F(StoreTest, CaptureAreaRequests) {
    ready();
    run({
        {Action::SetCaptureRect, Rect{0, 0, 1001, 601}, {"CaptureRectChanged 0 0 1000 600"}, {}},
        {Action::ChooseCaptureArea, 4, {"CaptureRectChanged 320 180 1600 900"}, {}},
        {Action::ChooseCaptureArea, 7, {}, {}},  // nothing remembered
        {Action::ChooseCaptureArea, 0, {"CaptureRectChanged 0 0 1920 1080"}, {}},
    });
}

TEST_F(StoreTest, SettingsRequestsAreShownPassedOnAndSaved) {
    ready();
    run({
        {Action::SetCaptureMethod, 1, {}, {}},  // not offered: ignored
        {Action::SetCaptureMethod, 2, {"CaptureMethodChanged 2"}, {}},
        {Action::SetQuality, 1, {"QualityChanged 1"}, {}},
        {Action::SetAudioBitrate, 64000, {}, {}},  // overrides what the quality chose
        {Action::SetFrameRate, 1, {}, {}},
        {Action::SetSampleRate, 48000, {}, {}},
        {Action::SetChannels, 1, {}, {}},
        {Action::SetBits, 24, {}, {}},
        {Action::SetPointStyle, 3, {"PointStyleChanged 3"}, {}},
        {Action::SetShapeStyle, 11, {"ShapeStyleChanged 11"}, {}},
        {Action::SetPressStyle, 0, {"PressStyleChanged 0"}, {}},
        {Action::SetHotkey, HotkeyPayload{1, "100120"}, {"HotkeyChanged 1 100120"}, {}},
        {Action::SetFilterMic, true, {"FilterMicChanged on"}, {"filter on"}},
        {Action::SetFilterCoefficient, 0.25, {"FilterCoefficientChanged 0.25"}, {"wc 0.25"}},
        {Action::SetCaptureMicrophone, true, {"CaptureMicrophoneChanged on"}, {"open microphone"}},
        {Action::SetCapturePlayback, false, {"CapturePlaybackChanged off"}, {"close playback"}},
        {Action::SetVideoBitrate, 900000, {}, {}},
        {Action::StartRecording,
         {},
         {"CountDownStart"},
         {"init out.mp4 0 0 1920 1080 24 900000 cam.mp4", "cursor 110 136 113"}},
    });
    EXPECT_EQ(testsupport::readFile(settingsFile()),
              R"({"quality":1,"mouse":{"pointStyle":3,"pressStyle":0,"shapeStyle":11},)"
              R"("video":{"captureRect":{"left":0,"top":0,"right":1920,"bottom":1080},)"
              R"("bitrate":900000,"fps":1,"captureMethod":2},)"
              R"("audio":{"sampleRate":48000,"bitrate":64000,"channels":1,"bits":24,)"
              R"("captureMicrophone":1,"capturePlayback":0,"filterMic":1,"filterWC":0.25},)"
              R"("camera":{"isCaptureCamera":false,"isOnlyCaptureCamera":false,"device":-1},)"
              R"("hotkey":[{"action":0,"keycode":"000119"},{"action":1,"keycode":"100120"},)"
              R"({"action":2,"keycode":"000121"}]})");
}

TEST_F(StoreTest, CameraRequests) {
    ready();
    run({
        {Action::SelectCameraDevice, 2, {}, {}},  // the camera is off
        {Action::SetCaptureCamera,
         true,
         {"CameraDeviceChanged 0", "CaptureCameraChanged on"},
         {"open camera 0"}},
        {Action::SelectCameraDevice, 2, {"CameraDeviceChanged 2"}, {"open camera 2"}},
        {Action::TestCamera,
         TestCameraPayload{nullptr, L"Camera", 320, 240, 7},
         {},
         {"test camera 6 320 240 7"}},
    });
    engine_.previewRunning = true;
    run({{Action::SelectCameraDevice, -1, {"CameraDeviceChanged -1"}, {"close preview"}}});
    engine_.previewRunning = false;
    run({
        {Action::SetOnlyCaptureCamera,
         true,
         {"CameraDeviceChanged 0", "CaptureCameraChanged on", "OnlyCaptureCameraChanged on"},
         {"only camera on", "open camera 0"}},
        {Action::SetCaptureCamera,
         false,
         {"CameraDeviceChanged -1", "CaptureCameraChanged off"},
         {"release camera"}},
    });
    store_->setCameraPath(L"none");  // no camera file asked for: stays off, without a message
    run({{Action::SetCaptureCamera, true, {"CaptureCameraChanged off"}, {}}});
    EXPECT_FALSE(store_->camera().isCaptureCamera);
}

TEST_F(StoreTest, DevicesThatDoNotOpenAreShownOff) {
    ready();
    engine_.soundOpens[RecordingSources::Microphone] = false;
    engine_.soundOpens[RecordingSources::Playback] = false;
    engine_.cameraOpens = false;
    run({
        {Action::SetCaptureMicrophone,
         true,
         {"ShowMessage Something in microphone goes wrong", "CaptureMicrophoneChanged off"},
         {"open microphone"}},
        {Action::SetCapturePlayback,
         true,
         {"ShowMessage Something in speaker goes wrong", "CapturePlaybackChanged off"},
         {"open playback"}},
        {Action::SetCaptureCamera,
         true,
         {"CameraDeviceChanged -1",
          "ShowMessage Something goes wroing, please check your camera device",
          "CaptureCameraChanged off"},
         {"open camera 0"}},
    });
}

TEST_F(StoreTest, RefusedStartsShowWhyAndStayIdle) {
    Store& store = init();
    // The message shown, and what the start asked of the engine.
    const auto refused = [&](const std::string& message) {
        views();
        calls();
        send(Action::StartRecording);
        EXPECT_EQ(views(), Journal({message}));
        EXPECT_EQ(store.state(), StoreState::Idle);
        return calls();
    };
    send(Action::SetCaptureRect, Rect{0, 0, 150, 150});
    EXPECT_EQ(refused("ShowMessage Please select capture area"), Journal());
    send(Action::SetCaptureRect, Rect{0, 0, 150, 300});  // one side of 200 is enough

    send(Action::SetCaptureCamera, true);
    engine_.cameraOpens = false;
    send(Action::SelectCameraDevice, 1);
    EXPECT_EQ(refused("ShowMessage Please select a camera device"), Journal());
    send(Action::SetCaptureCamera, false);

    const std::string unsupported =
        "ShowMessageWithLink Not support this audio format, click and jump to Tramsvik learn "
        "more [help] 1000 10000";
    WaveFormat& playback = engine_.formats[RecordingSources::Playback];
    WaveFormat& microphone = engine_.formats[RecordingSources::Microphone];
    playback.samplesPerSec = 48001;
    EXPECT_EQ(refused(unsupported), Journal());
    playback.samplesPerSec = 48000;
    microphone.channels = 3;
    send(Action::SetCaptureMicrophone, true);
    EXPECT_EQ(refused(unsupported), Journal());
    microphone.channels = 2;

    engine_.initResult = -1;
    EXPECT_EQ(refused("ShowMessage Exception occurred in initializion"),
              Journal({"init out.mp4 0 0 150 300 30 1500000 cam.mp4"}));
    EXPECT_TRUE(testsupport::fileExists(settingsFile())) << "saved before the engine was asked";
}

TEST_F(StoreTest, AStartAfterAFailedPreparationReopensWhatTheSettingsShowOn) {
    ready();
    send(Action::SetCaptureMicrophone, true);
    send(Action::SetCaptureCamera, true);
    engine_.initResult = -1;
    send(Action::StartRecording);  // the engine lets the sources and the camera go
    views();
    calls();
    engine_.initResult = 0;
    engine_.soundOpens[RecordingSources::Microphone] = false;  // gone meanwhile
    run({{Action::StartRecording,
          {},
          {"ShowMessage Something in microphone goes wrong", "CaptureMicrophoneChanged off",
           "CapturePlaybackChanged on", "CameraDeviceChanged 0", "CountDownStart"},
          {"open microphone", "open playback", "open camera 0",
           "init out.mp4 0 0 1920 1080 30 1500000 cam.mp4", "cursor 103 -1 -1"}}});
}

TEST_F(StoreTest, AStartThatFailsAfterTheCountDownReturnsToIdle) {
    Store& store = ready();
    engine_.startResult = -1;
    run({{Action::StartRecording,
          {},
          {"CountDownStart"},
          {"init out.mp4 0 0 1920 1080 30 1500000 cam.mp4", "cursor 103 -1 -1"}},
         {Action::CountDownFinished,
          {},
          {"ShowMessage Exception occurred in initializion"},
          {"start"}}});
    EXPECT_EQ(store.state(), StoreState::Idle);
    engine_.startResult = 0;
    press(kF8);
    send(Action::CountDownFinished);
    EXPECT_EQ(store.state(), StoreState::Recording);
}

TEST_F(StoreTest, AScaledDisplayHandsPhysicalPixelsToTheEngine) {
    screen_.desktop = Rect{0, 0, 1280, 720};
    screen_.metrics = platform::DisplayMetrics{1280, 720, true, 1920, 1080};
    init();
    send(Action::SetCaptureRect, Rect{100, 100, 500, 300});
    calls();
    send(Action::StartRecording);
    EXPECT_EQ(calls().front(), "init out.mp4 150 150 750 450 30 1500000 cam.mp4");
}

TEST_F(StoreTest, HotkeysDriveTheRecordingAndAreThrottled) {
    Store& store = ready();
    const auto after = [&](const std::string& code, uint32_t ms, StoreState expected) {
        press(code, ms);
        EXPECT_EQ(store.state(), expected) << code << " " << clock_.now;
    };
    after(kF8, 100, StoreState::CountingDown);
    after(kF9, 100, StoreState::CountingDown);  // nothing during the count-down
    send(Action::CountDownFinished);
    after(kF9, 100, StoreState::Paused);
    after(kF9, 99, StoreState::Paused);           // within 100 ms of the last accepted press
    after(kF9, 1, StoreState::Recording);         // an ignored press does not restart the wait
    after("000118", 100, StoreState::Recording);  // no hotkey
    clock_.now = 0xFFFFFFF0u;
    after(kF9, 0, StoreState::Paused);
    after(kF9, 0x60, StoreState::Paused);  // the clock wrapped: 96 ms later
    after(kF9, 4, StoreState::Recording);
    after(kF10, 100, StoreState::Ended);

    EXPECT_EQ(views(),
              Journal({"CountDownStart", "RecordingStarted", "RecordingPaused", "RecordingResumed",
                       "RecordingPaused", "RecordingResumed", "RecordingEnded"}));
    EXPECT_EQ(calls(), Journal({"init out.mp4 0 0 1920 1080 30 1500000 cam.mp4", "cursor 103 -1 -1",
                                "start", "pause", "resume", "pause", "resume", "stop"}));
    EXPECT_FALSE(input_.keyboardHookInstalled());
    EXPECT_FALSE(input_.mouseHookInstalled());
}

TEST_F(StoreTest, PauseTogglesOnlyWhileRecordingAndEndingResumesFirst) {
    ready();
    run({
        {Action::TogglePause, {}, {}, {}},
        {Action::StartRecording,
         {},
         {"CountDownStart"},
         {"init out.mp4 0 0 1920 1080 30 1500000 cam.mp4", "cursor 103 -1 -1"}},
        {Action::TogglePause, {}, {}, {}},
        {Action::CountDownFinished, {}, {"RecordingStarted"}, {"start"}},
        {Action::TogglePause, {}, {"RecordingPaused"}, {"pause"}},
        {Action::EndRecording, {}, {"RecordingResumed", "RecordingEnded"}, {"resume", "stop"}},
    });
    EXPECT_EQ(store_->state(), StoreState::Ended);
}

TEST_F(StoreTest, TheEndHotkeyEndsBeforeAnyRecording) {
    ready();
    press(kF10);
    EXPECT_EQ(views(), Journal({"RecordingEnded"}));
    EXPECT_EQ(calls(), Journal({"stop"}));
    EXPECT_EQ(store_->state(), StoreState::Ended);
}

TEST_F(StoreTest, AnOutputThatRefusesDataEndsTheRecordingOnTheUiThread) {
    Store& store = init();
    platform::MessageLoop& loop = platform::MessageLoop::ui();
    const auto reportAndRunTheLoop = [&] {
        engine_.onWriteFailure();
        loop.post([&] { loop.quit(0); });
        loop.run();
    };
    reportAndRunTheLoop();
    EXPECT_EQ(store.state(), StoreState::Idle);  // nothing runs that could end
    send(Action::StartRecording);
    send(Action::CountDownFinished);
    views();
    reportAndRunTheLoop();
    EXPECT_EQ(store.state(), StoreState::Ended);
    EXPECT_EQ(views(), Journal({"RecordingEnded"}));
}

}  // namespace
