// The Store over stand-ins for the engine, the desktop, the clock, the hooks and the views.
// Each test has a Store and a dispatcher of its own.
#include "flux/Store.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <type_traits>
#include <variant>

#include "ChildProcess.h"
#include "StoreFakes.h"
#include "engine/CursorState.h"
#include "flux/InputRouter.h"
#include "input/InputManager.h"
#include "platform/MessageLoop.h"

namespace {

using namespace storefakes;

using Payload = std::variant<std::monostate, int32_t, bool, double, Rect, HotkeyPayload,
                             std::string, TestCameraPayload>;

// What a file written with the start-up defaults on a 1920x1080 desktop holds, byte for byte.
const char kDefaultsLine[] =
    R"({"quality":0,"mouse":{"pointStyle":8,"pressStyle":-1,"shapeStyle":-1},)"
    R"("video":{"captureRect":{"left":0,"top":0,"right":1920,"bottom":1080},)"
    R"("bitrate":1500000,"fps":0,"captureMethod":0},)"
    R"("audio":{"sampleRate":44100,"bitrate":192000,"channels":2,"bits":16,)"
    R"("captureMicrophone":0,"capturePlayback":1,"filterMic":0,"filterWC":0.4},)"
    R"("camera":{"isCaptureCamera":false,"isOnlyCaptureCamera":false,"device":-1},)"
    R"("hotkey":[{"action":0,"keycode":"000119"},{"action":1,"keycode":"000120"},)"
    R"({"action":2,"keycode":"000121"}]})";
const std::string kF8 = "000119", kF9 = "000120", kF10 = "000121";
// A start with the defaults: the engine prepared, the default pointer, the count-down.
const std::string kPrepared =
    "init 屏幕.mp4 0 0 1920 1080 30 1500000 摄像头.mp4; cursor 103 -1 -1; CountDownStart";

class StoreTest : public ::testing::Test {
protected:
    // A Store on the stand-ins as they are now, with a camera file and this settings file.
    // FFmpeg reads file names as UTF-8 on every system (on Windows through their wide form):
    // names outside the ANSI code page reach the engine as their UTF-8 bytes.
    Store& init(const std::string& settings = "") {
        if (!settings.empty()) {
            std::ofstream(settingsFile()) << settings;
        }
        store_.emplace(dispatcher_, engine_, engine_, &screen_, clock_, input_);
        store_->setSettingPath(AnsiToWide(settingsFile()));
        store_->setVideoPath(L"屏幕.mp4");
        store_->setCameraPath(L"摄像头.mp4");
        store_->init();
        return *store_;
    }
    // The same, with what the initialisation did forgotten.
    Store& ready() {
        init();
        taken();
        return *store_;
    }
    void sendAll(std::initializer_list<std::pair<int32_t, Payload>> requests) {
        for (const auto& [id, payload] : requests) {
            send(id, payload);
        }
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
    std::string taken() { return std::exchange(journal_.text, {}); }
    std::string settingsFile() const { return dir_.file("s.json"); }
    std::string saved() const { return testsupport::readFile(settingsFile()); }

    testsupport::TempDir dir_;
    Journal journal_;
    FakeEngine engine_{journal_};
    FakeScreen screen_;
    FakeClock clock_;
    FakeHooks hooks_;
    CursorState cursor_;
    ActionDispatcher dispatcher_;
    InputRouter router_{dispatcher_, cursor_};
    InputManager input_{hooks_, router_};
    Views views_{dispatcher_, journal_};
    std::optional<Store> store_;
};

TEST_F(StoreTest, InitShowsEveryDefaultAndAStartSavesThemAndPreparesTheEngine) {
    Store& store = init();
    EXPECT_EQ(taken(),
              "QualityChanged 0; PressStyleChanged -1; ShapeStyleChanged -1; "
              "PointStyleChanged 8; CaptureMicrophoneChanged false; open playback; "
              "CapturePlaybackChanged true; release camera; CameraDeviceChanged -1; "
              "CaptureCameraChanged false; only camera false; "
              "OnlyCaptureCameraChanged false; CaptureMethodChanged 0; "
              "HotkeyChanged 0 000119; HotkeyChanged 1 000120; "
              "HotkeyChanged 2 000121; filter false; FilterMicChanged false; wc 0.4; "
              "FilterCoefficientChanged 0.4; CaptureRectChanged 0 0 1920 1080");
    EXPECT_EQ(store.endHotkeyCode(), "000121");
    EXPECT_TRUE(input_.keyboardHookInstalled() && input_.mouseHookInstalled());

    send(Action::StartRecording);
    EXPECT_EQ(taken(), kPrepared);
    EXPECT_EQ(saved(), kDefaultsLine);
    EXPECT_EQ(store.state(), StoreState::CountingDown);
}

TEST_F(StoreTest, EveryValueOfTheSettingsFileGoesThroughTheOperationsAndIsSavedBack) {
    // Nothing at its default; quality comes first, so that the file's bit rates stand, and the
    // camera is switched on before its device is chosen.
    const std::string file =
        R"({"quality":2,"mouse":{"pointStyle":3,"pressStyle":0,"shapeStyle":11},)"
        R"("video":{"captureRect":{"left":10,"top":10,"right":510,"bottom":410},)"
        R"("bitrate":999,"fps":1,"captureMethod":2},)"
        R"("audio":{"sampleRate":48000,"bitrate":64000,"channels":1,"bits":24,)"
        R"("captureMicrophone":1,"capturePlayback":0,"filterMic":1,"filterWC":0.25},)"
        R"("camera":{"isCaptureCamera":true,"isOnlyCaptureCamera":true,"device":1},)"
        R"("hotkey":[{"action":0,"keycode":"100119"},{"action":1,"keycode":"010120"},)"
        R"({"action":2,"keycode":"001121"}]})";
    EXPECT_EQ(init(file).endHotkeyCode(), "001121");
    taken();
    send(Action::StartRecording);
    EXPECT_EQ(taken(),
              "init 屏幕.mp4 10 10 510 410 24 999 摄像头.mp4; cursor 110 136 113; "
              "CountDownStart");
    EXPECT_EQ(saved(), file);
}

TEST_F(StoreTest, SettingsRequestsAreShownPassedOnAndSaved) {
    ready();
    // clang-format off
    sendAll({{Action::SetCaptureMethod, 1} /* not offered: ignored */, {Action::SetCaptureMethod, 2},
             {Action::SetQuality, 1}, {Action::SetAudioBitrate, 64000} /* over the quality's */,
             {Action::SetVideoBitrate, 900000}, {Action::SetFrameRate, 1},
             {Action::SetSampleRate, 48000}, {Action::SetChannels, 1}, {Action::SetBits, 24},
             {Action::SetPointStyle, 3}, {Action::SetShapeStyle, 11}, {Action::SetPressStyle, 0},
             {Action::SetHotkey, HotkeyPayload{1, "100120"}}, {Action::SetFilterMic, true},
             {Action::SetFilterCoefficient, 0.25}, {Action::SetCaptureMicrophone, true},
             {Action::SetCapturePlayback, false}, {Action::SetCaptureRect, Rect{0, 0, 1001, 601}},
             {Action::ChooseCaptureArea, 4}, {Action::ChooseCaptureArea, 7} /* none remembered */,
             {Action::StartRecording, {}}});
    // clang-format on
    EXPECT_EQ(taken(),
              "CaptureMethodChanged 2; QualityChanged 1; PointStyleChanged 3; "
              "ShapeStyleChanged 11; PressStyleChanged 0; HotkeyChanged 1 100120; filter true; "
              "FilterMicChanged true; wc 0.25; FilterCoefficientChanged 0.25; open microphone; "
              "CaptureMicrophoneChanged true; close playback; CapturePlaybackChanged false; "
              "CaptureRectChanged 0 0 1000 600; CaptureRectChanged 320 180 1600 900; "
              "init 屏幕.mp4 320 180 1600 900 24 900000 摄像头.mp4; cursor 110 136 113; "
              "CountDownStart");
    // The audio members show nowhere else.
    EXPECT_NE(
        saved().find(R"("audio":{"sampleRate":48000,"bitrate":64000,"channels":1,"bits":24,)"
                     R"("captureMicrophone":1,"capturePlayback":0,"filterMic":1,"filterWC":0.25})"),
        std::string::npos);
}

TEST_F(StoreTest, DeviceRequestsAndDevicesThatDoNotOpen) {
    ready();
    send(Action::SelectCameraDevice, 2);  // the camera is off: ignored
    send(Action::SetCaptureCamera, true);
    send(Action::SelectCameraDevice, 2);
    send(Action::TestCamera, TestCameraPayload{nullptr, L"Camera", 320, 240, 7});
    engine_.previewRunning = true;
    send(Action::SelectCameraDevice, -1);
    engine_.previewRunning = false;
    send(Action::SetOnlyCaptureCamera, true);
    send(Action::SetCaptureCamera, false);
    EXPECT_EQ(taken(),
              "open camera 0; CameraDeviceChanged 0; CaptureCameraChanged true; open camera 2; "
              "CameraDeviceChanged 2; test camera Camera 320 240 7; close preview; "
              "CameraDeviceChanged -1; only camera true; open camera 0; CameraDeviceChanged 0; "
              "CaptureCameraChanged true; OnlyCaptureCameraChanged true; release camera; "
              "CameraDeviceChanged -1; CaptureCameraChanged false");

    engine_.soundOpens[RecordingSources::Microphone] = false;
    engine_.soundOpens[RecordingSources::Playback] = false;
    engine_.cameraOpens = false;
    sendAll({{Action::SetCaptureMicrophone, true},
             {Action::SetCapturePlayback, true},
             {Action::SetCaptureCamera, true}});
    EXPECT_EQ(taken(),
              "open microphone; ShowMessage Something in microphone goes wrong; "
              "CaptureMicrophoneChanged false; open playback; "
              "ShowMessage Something in speaker goes wrong; CapturePlaybackChanged false; "
              "open camera 0; CameraDeviceChanged -1; "
              "ShowMessage Something goes wroing, please check your camera device; "
              "CaptureCameraChanged false");

    store_->setCameraPath(L"none");  // no camera file asked for: stays off, without a message
    send(Action::SetCaptureCamera, true);
    EXPECT_EQ(taken(), "CaptureCameraChanged false");
}

TEST_F(StoreTest, RefusedStartsShowWhyAndStayIdle) {
    Store& store = ready();
    // What a start request did, from a state set up since the last one.
    const auto start = [&] {
        taken();
        send(Action::StartRecording);
        EXPECT_EQ(store.state(), StoreState::Idle);
        return taken();
    };
    send(Action::SetCaptureRect, Rect{0, 0, 150, 150});
    EXPECT_EQ(start(), "ShowMessage Please select capture area");
    send(Action::SetCaptureRect, Rect{0, 0, 150, 300});  // one side of 200 is enough

    send(Action::SetCaptureCamera, true);
    engine_.cameraOpens = false;
    send(Action::SelectCameraDevice, 1);
    EXPECT_EQ(start(), "ShowMessage Please select a camera device");
    send(Action::SetCaptureCamera, false);

    const std::string unsupported =
        "ShowMessageWithLink Not support this audio format, click and jump to Tramsvik learn more "
        "true 1000 10000";
    engine_.formats[RecordingSources::Playback].samplesPerSec = 48001;
    EXPECT_EQ(start(), unsupported);
    engine_.formats[RecordingSources::Playback].samplesPerSec = 48000;
    engine_.formats[RecordingSources::Microphone].channels = 3;
    send(Action::SetCaptureMicrophone, true);
    EXPECT_EQ(start(), unsupported);
    engine_.formats[RecordingSources::Microphone].channels = 2;

    engine_.initResult = -1;
    EXPECT_EQ(start(),
              "init 屏幕.mp4 0 0 150 300 30 1500000 摄像头.mp4; "
              "ShowMessage Exception occurred in initializion");
    EXPECT_TRUE(testsupport::fileExists(settingsFile())) << "saved before the engine was asked";
}

TEST_F(StoreTest, AStartAfterAFailedPreparationReopensWhatTheSettingsShowOn) {
    ready();
    send(Action::SetCaptureMicrophone, true);
    send(Action::SetCaptureCamera, true);
    engine_.initResult = -1;
    send(Action::StartRecording);  // the engine lets the sources and the camera go
    taken();
    engine_.initResult = 0;
    engine_.soundOpens[RecordingSources::Microphone] = false;  // gone meanwhile
    send(Action::StartRecording);
    EXPECT_EQ(taken(),
              "open microphone; ShowMessage Something in microphone goes wrong; "
              "CaptureMicrophoneChanged false; open playback; "
              "CapturePlaybackChanged true; open camera 0; CameraDeviceChanged 0; "
              "init 屏幕.mp4 0 0 1920 1080 30 1500000 摄像头.mp4; cursor 103 -1 -1; "
              "CountDownStart");
}

TEST_F(StoreTest, AStartThatFailsAfterTheCountDownReturnsToIdle) {
    Store& store = ready();
    engine_.startResult = -1;
    send(Action::StartRecording);
    send(Action::CountDownFinished);
    EXPECT_EQ(taken(), kPrepared + "; start; ShowMessage Exception occurred in initializion");
    EXPECT_EQ(store.state(), StoreState::Idle);
    engine_.startResult = 0;
    press(kF8);
    send(Action::CountDownFinished);
    EXPECT_EQ(store.state(), StoreState::Recording);
}

TEST_F(StoreTest, AScaledDisplayHandsPhysicalPixelsToTheEngine) {
    screen_.desktop = Rect{0, 0, 1280, 720};
    screen_.metrics = platform::DisplayMetrics{1280, 720, true, 1920, 1080};
    ready();
    send(Action::SetCaptureRect, Rect{100, 100, 500, 300});
    send(Action::StartRecording);
    EXPECT_EQ(taken(),
              "CaptureRectChanged 100 100 500 300; init 屏幕.mp4 150 150 750 450 30 1500000 "
              "摄像头.mp4; cursor 103 -1 -1; CountDownStart");
}

TEST_F(StoreTest, HotkeysAndPauseRequestsDriveTheRecordingAndHotkeysAreThrottled) {
    Store& store = ready();
    const auto after = [&](uint32_t ms, const std::string& code, StoreState expected) {
        press(code, ms);
        EXPECT_EQ(store.state(), expected) << code << " at " << clock_.now;
    };
    send(Action::TogglePause);  // nothing to pause
    after(100, kF8, StoreState::CountingDown);
    after(100, kF9, StoreState::CountingDown);  // nothing during the count-down
    send(Action::TogglePause);
    send(Action::CountDownFinished);
    after(100, kF9, StoreState::Paused);
    after(99, kF9, StoreState::Paused);           // within 100 ms of the last accepted press
    after(1, kF9, StoreState::Recording);         // an ignored press does not restart the wait
    after(100, "000118", StoreState::Recording);  // no hotkey
    after(1, kF9, StoreState::Paused);            // which starts no wait (Ctrl before F7)
    after(100, kF9, StoreState::Recording);
    clock_.now = 0xFFFFFFF0u;
    after(0, kF9, StoreState::Paused);
    after(0x60, kF9, StoreState::Paused);  // the clock wrapped: 96 ms later
    after(4, kF9, StoreState::Recording);
    send(Action::TogglePause);
    after(100, kF10, StoreState::Ended);  // resumes first
    EXPECT_EQ(taken(),
              kPrepared +
                  "; start; RecordingStarted; pause; RecordingPaused; resume; "
                  "RecordingResumed; pause; RecordingPaused; resume; RecordingResumed; "
                  "pause; RecordingPaused; resume; RecordingResumed; "
                  "pause; RecordingPaused; resume; RecordingResumed; stop; RecordingEnded; "
                  "finish; FilesFinished");
    EXPECT_FALSE(input_.keyboardHookInstalled() || input_.mouseHookInstalled());
}

TEST_F(StoreTest, TheFinishingOfTheFilesIsShownAndTheyAreFinalBeforeTheEnd) {
    ready();
    sendAll({{Action::StartRecording, {}}, {Action::CountDownFinished, {}}});
    taken();
    engine_.finishSteps = {0, 60, 100};
    press(kF10);
    send(Action::EndRecording);  // while the files are being finished: nothing more
    EXPECT_EQ(taken(), "stop; RecordingEnded; finish; ShowProgressText 1");
    // The engine's thread reports through the UI loop.
    platform::MessageLoop::ui().quit(0);
    ASSERT_EQ(platform::MessageLoop::ui().run(), 0);
    EXPECT_EQ(taken(),
              "ShowProgressValue 0; ShowProgressValue 60; ShowProgressValue 100; FilesFinished");
}

}  // namespace
