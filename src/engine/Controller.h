#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Geometry.h"

class AudioManager;
class CameraCapture;
class Encoder;
class ScreenCapturer;
class WorkerThread;

// The recording engine's front: prepares, starts, pauses, resumes and stops one recording of
// the screen (or of the camera alone) with mixed sound. Every operation runs on the UI thread;
// the video and audio threads are its own.
class Controller {
public:
    // -1 Created, 0 Ready, 1 Recording, 2 Paused, 3 Stopped.
    enum State : int32_t { Created = -1, Ready = 0, Recording = 1, Paused = 2, Stopped = 3 };

    Controller();
    ~Controller();
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // Prepares one recording. captureRect is in physical pixels with even sides. 0 or E_FAIL
    // (after tearing down whatever was built).
    int32_t init(const std::string& outputPath, const Rect& captureRect, uint32_t frameRate,
                 int32_t videoBitRate, const std::string& cameraPath);
    // 0 or E_FAIL.
    int32_t start();
    void pause();
    void resume();
    // Returns when the files are finished.
    void stop();
    int32_t testCamera(void* instance, const std::wstring& title, int32_t width, int32_t height,
                       uint16_t iconId);

    State state() const { return state_.load(); }
    AudioManager& audio() { return *audio_; }
    CameraCapture& camera() { return *camera_; }
    Encoder& encoder() { return *encoder_; }
    const std::string& outputPath() const { return outputPath_; }

private:
    bool videoIteration();
    bool audioIteration();

    // Written by the UI thread; read by the video and audio threads to know when to end.
    std::atomic<State> state_{Created};

    std::unique_ptr<Encoder> encoder_;
    std::unique_ptr<ScreenCapturer> screen_;
    Rect captureRect_;  // UI thread; read by the video thread only while it runs
    std::unique_ptr<AudioManager> audio_;
    std::unique_ptr<CameraCapture> camera_;
    std::unique_ptr<WorkerThread> videoThread_;
    std::unique_ptr<WorkerThread> audioThread_;
    std::string outputPath_;
};
