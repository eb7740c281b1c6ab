#pragma once

// Stand-ins for what the Store drives and asks (the recording engine with its sources, the
// desktop, the clock, the input hooks) and for the views it notifies. One journal takes, in
// order, what the Store asked of the engine ("open microphone") and what it notified
// ("CaptureMicrophoneChanged true"), separated by "; ".

#include <map>
#include <sstream>
#include <string>
#include <utility>

#include "engine/RecordingEngine.h"
#include "flux/ActionDispatcher.h"
#include "flux/ActionPayloads.h"
#include "flux/Actions.h"
#include "flux/RecordingSources.h"
#include "flux/Store.h"
#include "platform/Clock.h"
#include "platform/InputHooks.h"
#include "platform/Screen.h"
#include "platform/Strings.h"
#include "platform/WaveFormat.h"

namespace storefakes {

class Journal {
public:
    template <class... T>
    void add(const T&... values) {
        std::ostringstream entry;
        entry << std::boolalpha << (text_.empty() ? "" : "; ");
        ((entry << values << ' '), ...);
        text_ += entry.str().substr(0, entry.str().size() - 1);
    }
    // What was added since the last look.
    std::string take() { return std::exchange(text_, {}); }

private:
    std::string text_;
};

class FakeEngine : public RecordingEngine, public RecordingSources {
public:
    explicit FakeEngine(Journal& journal) : journal_(journal) {}

    int32_t initResult = 0;
    int32_t startResult = 0;
    bool soundOpens[2] = {true, true};  // by Sound
    bool cameraOpens = true;
    bool previewRunning = false;
    WaveFormat formats[2] = {{WaveFormat::kPcm, 2, 44100}, {WaveFormat::kPcm, 2, 48000}};
    bool sound[2] = {false, false};  // what is open
    bool camera = false;

    int32_t init(const std::string& output, const Rect& r, uint32_t frameRate, int32_t bitRate,
                 const std::string& cameraPath) override {
        return call(initResult, "init", output, r.left, r.top, r.right, r.bottom, frameRate,
                    bitRate, cameraPath);
    }
    int32_t start() override { return call(startResult, "start"); }
    void pause() override { call(0, "pause"); }
    void resume() override { call(0, "resume"); }
    void stop() override { call(-1, "stop"); }
    int32_t testCamera(void*, const std::wstring& title, int32_t width, int32_t height,
                       uint16_t icon) override {
        return call(0, "test camera", WideToAnsi(title), width, height, icon);
    }
    void setOnWriteFailure(std::function<void()>) override {}

    int32_t openSound(Sound kind) override {
        sound[kind] = soundOpens[kind];
        return call(sound[kind] ? 0 : 1, "open", name(kind));
    }
    void closeSound(Sound kind) override { sound[kind] = call(0, "close", name(kind)); }
    bool soundOn(Sound kind) const override { return sound[kind]; }
    const WaveFormat* soundFormat(Sound kind) const override {
        return sound[kind] ? &formats[kind] : nullptr;
    }
    void setMicrophoneFilter(bool on) override { call(0, "filter", on); }
    void setMicrophoneFilterCoefficient(double wc) override { call(0, "wc", wc); }
    int32_t openCamera(int32_t index) override {
        camera = cameraOpens;
        return call(camera ? 0 : 1, "open camera", index);
    }
    bool cameraOpen() const override { return camera; }
    bool cameraPreviewRunning() const override { return previewRunning; }
    void closeCameraPreview() override { camera = call(0, "close preview"); }
    void releaseCamera() override { camera = call(0, "release camera"); }
    void setOnlyCamera(bool on) override { call(0, "only camera", on); }
    void composeCursor(int32_t point, int32_t shape, int32_t press) override {
        call(0, "cursor", point, shape, press);
    }

private:
    static const char* name(Sound kind) { return kind == Microphone ? "microphone" : "playback"; }
    // Journals the call and returns 0 for a result of 0, -1 otherwise. A failure (-1) lets go
    // of the sound sources and the camera, as the Controller's do.
    template <class... T>
    int32_t call(int32_t result, const T&... values) {
        journal_.add(values...);
        if (result < 0) {
            sound[Microphone] = sound[Playback] = camera = false;
        }
        return result == 0 ? 0 : -1;
    }

    Journal& journal_;
};

// Every notification as its name, then its payload.
class Views : public IActionListener {
public:
    Views(ActionDispatcher& dispatcher, Journal& journal) : journal_(journal) {
        for (const auto& entry : kNames) {
            dispatcher.addListener(entry.first, this);
        }
    }
    void onAction(int32_t id, void* p) override {
        const auto& [name, payload] = kNames.at(id);
        const auto* rect = static_cast<const Rect*>(p);
        const auto* hotkey = static_cast<const HotkeyPayload*>(p);
        const auto* link = static_cast<const MessageWithLinkPayload*>(p);
        switch (payload) {
            case 'i':
                return journal_.add(name, *static_cast<int32_t*>(p));
            case 'b':
                return journal_.add(name, *static_cast<bool*>(p));
            case 'd':
                return journal_.add(name, *static_cast<double*>(p));
            case 'r':
                return journal_.add(name, rect->left, rect->top, rect->right, rect->bottom);
            case 'h':
                return journal_.add(name, hotkey->action, hotkey->keycode);
            case 'm':
                return journal_.add(name, WideToAnsi(*static_cast<const wchar_t**>(p)));
            case 'l':
                return journal_.add(name, WideToAnsi(link->text),
                                    link->onClick == &Store::OpenHelpPage, link->interval,
                                    link->duration);
            default:
                return journal_.add(name);
        }
    }

private:
    // Name and payload: int, bool, double, rectangle, hotkey, message, message with link.
    // clang-format off
#define SC_NAMED(name, payload) {Action::name, {#name, payload}}
    inline static const std::map<int32_t, std::pair<std::string, char>> kNames = {
        SC_NAMED(CaptureMethodChanged, 'i'),     SC_NAMED(CaptureRectChanged, 'r'),
        SC_NAMED(CaptureMicrophoneChanged, 'b'), SC_NAMED(CapturePlaybackChanged, 'b'),
        SC_NAMED(PointStyleChanged, 'i'),        SC_NAMED(ShapeStyleChanged, 'i'),
        SC_NAMED(PressStyleChanged, 'i'),        SC_NAMED(QualityChanged, 'i'),
        SC_NAMED(HotkeyChanged, 'h'),            SC_NAMED(FilterMicChanged, 'b'),
        SC_NAMED(FilterCoefficientChanged, 'd'), SC_NAMED(CaptureCameraChanged, 'b'),
        SC_NAMED(OnlyCaptureCameraChanged, 'b'), SC_NAMED(CameraDeviceChanged, 'i'),
        SC_NAMED(ShowMessage, 'm'),              SC_NAMED(ShowMessageWithLink, 'l'),
        SC_NAMED(CountDownStart, '-'),           SC_NAMED(RecordingStarted, '-'),
        SC_NAMED(RecordingPaused, '-'),          SC_NAMED(RecordingResumed, '-'),
        SC_NAMED(RecordingEnded, '-')};
#undef SC_NAMED
    // clang-format on
    Journal& journal_;
};

class FakeScreen : public platform::Screen {
public:
    Rect desktop{0, 0, 1920, 1080};
    platform::DisplayMetrics metrics{1920, 1080, true, 1920, 1080};

    Rect desktopRect() override { return desktop; }
    platform::DisplayMetrics displayMetrics() override { return metrics; }
    bool cursorPosition(Point&) override { return false; }
    bool prepare(int32_t, int32_t) override { return false; }
    bool grab(const Rect&, uint8_t*) override { return false; }
    bool windowAt(Point, platform::NativeWindow, platform::WindowHit&) override { return false; }
    bool usesSharedMemory() const override { return false; }
};

class FakeClock : public platform::Clock {
public:
    uint32_t now = 1000;
    uint32_t nowMs() const override { return now; }
};

// Hooks that always install; the InputManager over them tells whether they are in.
class FakeHooks : public platform::InputHooks {
public:
    uint32_t installMouseHook(MouseProc) override { return 0; }
    uint32_t installKeyboardHook(KeyboardProc) override { return 0; }
    void removeMouseHook() override {}
    void removeKeyboardHook() override {}
    bool isKeyDown(uint32_t) override { return false; }
    std::wstring keyName(uint32_t) override { return {}; }
};

}  // namespace storefakes
