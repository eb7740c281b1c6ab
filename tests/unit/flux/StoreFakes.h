#pragma once

// Stand-ins for what the Store drives (engine, sources, desktop, clock, hooks) and for the views.
// One journal takes, in order, what the Store asked ("open microphone") and what it notified
// ("CaptureMicrophoneChanged true"), separated by "; ".

#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/RecordingEngine.h"
#include "flux/ActionDispatcher.h"
#include "flux/Actions.h"
#include "flux/RecordingSources.h"
#include "flux/Store.h"
#include "platform/Clock.h"
#include "platform/InputHooks.h"
#include "platform/Screen.h"
#include "platform/Strings.h"
#include "platform/WaveFormat.h"

namespace storefakes {

struct Journal {
    template <class... T>
    void add(const T&... values) {
        std::ostringstream entry;
        entry << std::boolalpha << (text.empty() ? "" : "; ");
        ((entry << values << ' '), ...);
        text += entry.str().substr(0, entry.str().size() - 1);
    }
    std::string text;
};

// A failing call (result -1) lets go of the sound sources and the camera, as the engine's do.
class FakeEngine : public RecordingEngine, public RecordingSources {
public:
    explicit FakeEngine(Journal& journal) : journal_(journal) {}

    int32_t initResult = 0, startResult = 0;
    bool soundOpens[2] = {true, true}, cameraOpens = true, previewRunning = false;
    WaveFormat formats[2] = {{WaveFormat::kPcm, 2, 44100}, {WaveFormat::kPcm, 2, 48000}};
    bool sound[2] = {false, false}, camera = false;  // what is open

    int32_t init(const std::string& output, const Rect& r, uint32_t frameRate, int32_t bitRate,
                 const std::string& cameraPath) override {
        return call(initResult, "init", output, r.left, r.top, r.right, r.bottom, frameRate,
                    bitRate, cameraPath);
    }
    int32_t start() override { return call(startResult, "start"); }
    void pause() override { call(0, "pause"); }
    void resume() override { call(0, "resume"); }
    void stop() override { call(-1, "stop"); }
    // Percentages the finishing reports, at once on the caller's thread; none: nothing to do.
    std::vector<int32_t> finishSteps;
    bool finishFiles(std::function<void(int32_t)> progress, std::function<void()> done) override {
        call(0, "finish");
        for (int32_t percent : finishSteps) {
            progress(percent);
        }
        if (!finishSteps.empty()) {
            done();
        }
        return !finishSteps.empty();
    }
    int32_t testCamera(void*, const std::wstring& title, int32_t w, int32_t h,
                       uint16_t i) override {
        return call(0, "test camera", WideToAnsi(title), w, h, i);
    }
    void setOnWriteFailure(std::function<void()>) override {}
    int32_t openSound(Sound kind) override {
        sound[kind] = soundOpens[kind];
        return call(sound[kind] ? 0 : 1, "open", kind == Microphone ? "microphone" : "playback");
    }
    void closeSound(Sound kind) override {
        sound[kind] = call(0, "close", kind == Microphone ? "microphone" : "playback");
    }
    bool soundOn(Sound kind) const override { return sound[kind]; }
    const WaveFormat* soundFormat(Sound k) const override {
        return sound[k] ? &formats[k] : nullptr;
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
    void composeCursor(int32_t a, int32_t b, int32_t c) override { call(0, "cursor", a, b, c); }

private:
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

// Every notification as its name, then its payload: int, bool, double, rectangle, hotkey,
// message, message with link, or none.
class Views : public IActionListener {
public:
    Views(ActionDispatcher& dispatcher, Journal& journal) : journal_(journal) {
        for (const auto& entry : kNames) {
            dispatcher.addListener(entry.first, this);
        }
    }
    void onAction(int32_t id, void* p) override {
        const auto& [name, payload] = kNames.at(id);
        const auto* r = static_cast<const Rect*>(p);
        const auto* link = static_cast<const MessageWithLinkPayload*>(p);
        switch (payload) {
            case 'i':
                return journal_.add(name, *static_cast<int32_t*>(p));
            case 'b':
                return journal_.add(name, *static_cast<bool*>(p));
            case 'd':
                return journal_.add(name, *static_cast<double*>(p));
            case 'r':
                return journal_.add(name, r->left, r->top, r->right, r->bottom);
            case 'h':
                return journal_.add(name, static_cast<HotkeyPayload*>(p)->action,
                                    static_cast<HotkeyPayload*>(p)->keycode);
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
    // clang-format off
#define N(name, payload) {Action::name, {#name, payload}}
    inline static const std::map<int32_t, std::pair<std::string, char>> kNames = {
        N(CaptureMethodChanged, 'i'), N(CaptureRectChanged, 'r'), N(QualityChanged, 'i'),
        N(CaptureMicrophoneChanged, 'b'), N(CapturePlaybackChanged, 'b'), N(HotkeyChanged, 'h'),
        N(PointStyleChanged, 'i'), N(ShapeStyleChanged, 'i'), N(PressStyleChanged, 'i'),
        N(FilterMicChanged, 'b'), N(FilterCoefficientChanged, 'd'), N(CaptureCameraChanged, 'b'),
        N(OnlyCaptureCameraChanged, 'b'), N(CameraDeviceChanged, 'i'), N(ShowMessage, 'm'),
        N(ShowMessageWithLink, 'l'), N(CountDownStart, '-'), N(RecordingStarted, '-'),
        N(RecordingPaused, '-'), N(RecordingResumed, '-'), N(RecordingEnded, '-'),
        N(ShowProgressText, 'i'), N(ShowProgressValue, 'i'), N(FilesFinished, '-')};
#undef N
    // clang-format on
    Journal& journal_;
};

// A 1920x1080 desktop (changeable) without pointer or pictures.
struct FakeScreen : platform::Screen {
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

struct FakeClock : platform::Clock {
    uint32_t now = 1000;
    uint32_t nowMs() const override { return now; }
};

// Hooks that always install; the InputManager over them tells whether they are in.
struct FakeHooks : platform::InputHooks {
    uint32_t installMouseHook(MouseProc) override { return 0; }
    uint32_t installKeyboardHook(KeyboardProc) override { return 0; }
    void removeMouseHook() override {}
    void removeKeyboardHook() override {}
    bool isKeyDown(uint32_t) override { return false; }
    std::wstring keyName(uint32_t) override { return {}; }
};

}  // namespace storefakes
