#pragma once

// Observers for the recording tests: a desktop that counts its grabs and reports when it is let
// go, and a camera service that passes everything to a real one while it reports each call
// and each frame that went through the frame callback.

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "Await.h"
#include "CameraFakes.h"
#include "platform/CameraService.h"
#include "platform/Screen.h"

namespace recordingfakes {

// Pictures that do not compress, so that an encoder's output buffer fills at once.
inline void fillNoise(uint8_t* pixels, size_t bytes, uint32_t seed) {
    uint32_t x = seed * 2654435761u + 1u;
    for (size_t i = 0; i < bytes; ++i) {
        x = x * 1664525u + 1013904223u;
        pixels[i] = static_cast<uint8_t>(x >> 24);
    }
}

// What a CountingScreen saw; outlives the screen, which its owner destroys.
struct ScreenLog {
    std::atomic<int> grabs{0};
    std::atomic<bool> grabbing{false};
    std::atomic<bool> destroyed{false};
    std::atomic<int> grabsAfterDestroy{0};
    std::atomic<bool> noisy{false};   // grabs are noise instead of a flat shade
    std::function<void()> onDestroy;  // called on the destroying thread as the screen goes

    ::testing::AssertionResult waitForGrabs(int n) {
        return testsupport::waitFor([&] { return grabs >= n; }, std::chrono::seconds(20), "grabs");
    }
};

// A 1920 x 1080 desktop whose every grab is a flat picture of a shade that changes per grab.
class CountingScreen final : public platform::Screen {
public:
    explicit CountingScreen(std::shared_ptr<ScreenLog> log) : log_(std::move(log)) {}
    ~CountingScreen() override {
        if (log_->onDestroy) {
            log_->onDestroy();
        }
        log_->destroyed = true;
    }
    Rect desktopRect() override { return Rect{0, 0, 1920, 1080}; }
    platform::DisplayMetrics displayMetrics() override { return {}; }  // not asked for
    bool cursorPosition(Point& position) override {
        position = Point{-100, -100};  // off the area: nothing drawn over the picture
        return true;
    }
    bool prepare(int32_t, int32_t) override { return true; }
    bool grab(const Rect& area, uint8_t* buffer) override {
        log_->grabbing = true;
        const size_t bytes = static_cast<size_t>(area.width()) * area.height() * 4;
        if (log_->noisy) {
            fillNoise(buffer, bytes, static_cast<uint32_t>(log_->grabs));
        } else {
            std::memset(buffer, (log_->grabs * 16) & 0xFF, bytes);
        }
        log_->grabsAfterDestroy += log_->destroyed ? 1 : 0;
        log_->grabbing = false;
        ++log_->grabs;
        return true;
    }
    bool windowAt(Point, platform::NativeWindow, platform::WindowHit&) override { return false; }
    bool usesSharedMemory() const override { return false; }

private:
    std::shared_ptr<ScreenLog> log_;
};

// A camera service in front of a real one. `beforeCall` hears "open", "run", "pause", "stop"
// and "release" on the calling thread before the call goes through; `delivered` logs each
// frame once the owner's callback has returned from it.
class ObservedCameraService final : public platform::CameraService {
public:
    explicit ObservedCameraService(std::unique_ptr<platform::CameraService> inner)
        : inner_(std::move(inner)) {}

    std::function<void(const std::string& call)> beforeCall;
    camerafakes::FrameLog delivered;
    bool noisy = false;  // set before run: the owner's callback gets noise of the frame's size

    std::vector<platform::CameraDevice> devices() override { return inner_->devices(); }
    int32_t open(int32_t position) override { return hear("open"), inner_->open(position); }
    bool isOpen() const override { return inner_->isOpen(); }
    platform::CameraSize frameSize() const override { return inner_->frameSize(); }
    platform::CameraState state() const override { return inner_->state(); }
    void setFrameCallback(platform::CameraFrameCallback callback) override {
        if (!callback) {
            return inner_->setFrameCallback({});
        }
        inner_->setFrameCallback([this, callback](const platform::CameraFrame& frame) {
            if (noisy) {
                platform::CameraFrame noise = frame;
                noise.stride = frame.width * 4;
                noise_.resize(static_cast<size_t>(noise.stride) * frame.height);
                fillNoise(noise_.data(), noise_.size(), frame.sequence);
                noise.pixels = noise_.data();
                callback(noise);
            } else {
                callback(frame);
            }
            delivered.add(frame);
        });
    }
    int32_t run() override { return hear("run"), inner_->run(); }
    int32_t pause() override { return hear("pause"), inner_->pause(); }
    int32_t stop() override { return hear("stop"), inner_->stop(); }
    void release() override { hear("release"), inner_->release(); }
    int32_t openPreview(const std::wstring& title, platform::CameraSize size, uint16_t iconId,
                        platform::CameraPreviewEvents events) override {
        return inner_->openPreview(title, size, iconId, std::move(events));
    }
    bool previewOpen() const override { return inner_->previewOpen(); }
    void closePreview() override { inner_->closePreview(); }

private:
    void hear(const std::string& call) {
        if (beforeCall) {
            beforeCall(call);
        }
    }
    std::unique_ptr<platform::CameraService> inner_;
    std::vector<uint8_t> noise_;  // camera thread only
};

}  // namespace recordingfakes
