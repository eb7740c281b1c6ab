#pragma once

// Stand-ins for what the Store drives and asks: the recording engine with its sources, the
// desktop, the clock and the input hooks. Calls go into journals ("open microphone"), results
// come from scripted fields.

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/RecordingEngine.h"
#include "flux/RecordingSources.h"
#include "platform/Clock.h"
#include "platform/Geometry.h"
#include "platform/InputHooks.h"
#include "platform/Screen.h"
#include "platform/WaveFormat.h"

namespace storefakes {

using Journal = std::vector<std::string>;

inline std::string text(const Rect& r) {
    return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) +
           " " + std::to_string(r.bottom);
}

// Like the Controller, a failed init or start and every stop let go of the sound sources and
// the camera.
class FakeEngine : public RecordingEngine, public RecordingSources {
public:
    Journal journal;
    int32_t initResult = 0;
    int32_t startResult = 0;
    bool soundOpens[2] = {true, true};  // by Sound
    WaveFormat formats[2] = {{WaveFormat::kPcm, 2, 44100}, {WaveFormat::kPcm, 2, 48000}};
    bool cameraOpens = true;
    bool previewRunning = false;
    std::function<void()> onWriteFailure;
    // What is open in the engine.
    bool sound[2] = {false, false};
    bool camera = false;

    int32_t init(const std::string& output, const Rect& area, uint32_t frameRate,
                 int32_t videoBitRate, const std::string& cameraPath) override {
        add("init " + output + " " + text(area) + " " + std::to_string(frameRate) + " " +
            std::to_string(videoBitRate) + " " + cameraPath);
        return letGoOnFailure(initResult);
    }
    int32_t start() override {
        add("start");
        return letGoOnFailure(startResult);
    }
    void pause() override { add("pause"); }
    void resume() override { add("resume"); }
    void stop() override {
        add("stop");
        letGoOnFailure(-1);
    }
    int32_t testCamera(void*, const std::wstring& title, int32_t width, int32_t height,
                       uint16_t iconId) override {
        add("test camera " + std::to_string(title.size()) + " " + std::to_string(width) + " " +
            std::to_string(height) + " " + std::to_string(iconId));
        return 0;
    }
    void setOnWriteFailure(std::function<void()> callback) override {
        onWriteFailure = std::move(callback);
    }

    int32_t openSound(Sound kind) override {
        add("open " + name(kind));
        sound[kind] = soundOpens[kind];
        return sound[kind] ? 0 : -1;
    }
    void closeSound(Sound kind) override {
        add("close " + name(kind));
        sound[kind] = false;
    }
    bool soundOn(Sound kind) const override { return sound[kind]; }
    const WaveFormat* soundFormat(Sound kind) const override {
        return sound[kind] ? &formats[kind] : nullptr;
    }
    void setMicrophoneFilter(bool on) override { add(on ? "filter on" : "filter off"); }
    void setMicrophoneFilterCoefficient(double wc) override {
        char number[32];
        std::snprintf(number, sizeof number, "%g", wc);
        add(std::string("wc ") + number);
    }
    int32_t openCamera(int32_t index) override {
        add("open camera " + std::to_string(index));
        camera = cameraOpens;
        return camera ? 0 : -1;
    }
    bool cameraOpen() const override { return camera; }
    bool cameraPreviewRunning() const override { return previewRunning; }
    void closeCameraPreview() override {
        add("close preview");
        camera = false;
    }
    void releaseCamera() override {
        add("release camera");
        camera = false;
    }
    void setOnlyCamera(bool on) override { add(on ? "only camera on" : "only camera off"); }
    void composeCursor(int32_t point, int32_t shape, int32_t press) override {
        add("cursor " + std::to_string(point) + " " + std::to_string(shape) + " " +
            std::to_string(press));
    }

private:
    void add(const std::string& call) { journal.push_back(call); }
    static std::string name(Sound kind) { return kind == Microphone ? "microphone" : "playback"; }
    int32_t letGoOnFailure(int32_t result) {
        if (result < 0) {
            sound[Microphone] = sound[Playback] = camera = false;
        }
        return result;
    }
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
