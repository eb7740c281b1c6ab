#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/FFmpegPtr.h"
#include "base/Geometry.h"
#include "engine/RecordingEngine.h"

namespace platform {
class AudioEndpointFactory;
class CameraService;
}  // namespace platform

class AudioManager;
class CameraCapture;
class Encoder;
class FileFinisher;
class ScreenCapturer;
class WorkerThread;

// The recording engine's front: prepares, starts, pauses, resumes and stops one recording of
// the screen (or of the camera alone) with mixed sound. Every operation runs on the UI thread;
// the video and audio threads are its own.
class Controller : public RecordingEngine {
public:
    // -1 Created, 0 Ready, 1 Recording, 2 Paused, 3 Stopped.
    enum State : int32_t { Created = -1, Ready = 0, Recording = 1, Paused = 2, Stopped = 3 };

    Controller();
    // Over the given sound endpoints and camera instead of the system's.
    Controller(platform::AudioEndpointFactory& audioEndpoints, platform::CameraService& camera);
    ~Controller() override;
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // Prepares one recording. captureRect is in physical pixels with even sides. 0 or E_FAIL
    // (after tearing down whatever was built); E_FAIL without touching anything while a
    // recording runs.
    int32_t init(const std::string& outputPath, const Rect& captureRect, uint32_t frameRate,
                 int32_t videoBitRate, const std::string& cameraPath) override;
    // 0 or E_FAIL; only a prepared (Ready) recording starts.
    int32_t start() override;
    void pause() override;
    void resume() override;
    // Returns when the files are complete (MP4 and MOV still in fragments).
    void stop() override;
    // The files stop closed in fragments are finished by the "finish" thread.
    bool finishFiles(std::function<void(int32_t percent)> progress,
                     std::function<void()> done) override;
    // The camera's preview window: what CameraCapture::preview returns, or E_FAIL while a
    // recording is prepared or runs.
    int32_t testCamera(void* instance, const std::wstring& title, int32_t width, int32_t height,
                       uint16_t iconId) override;

    // Called once, on the thread whose write the output file refused (the video or audio
    // thread, or the camera's streaming thread in only-camera mode), when it refuses data while
    // recording (a full disk): the owner should end the recording so the file is finished. Set
    // before start.
    void setOnWriteFailure(std::function<void()> callback) override;

    State state() const { return state_.load(); }
    AudioManager& audio() { return *audio_; }
    CameraCapture& camera() { return *camera_; }
    Encoder& encoder() { return *encoder_; }
    const std::string& outputPath() const { return outputPath_; }
    ScreenCapturer& screenCapturer() { return *screen_; }

    // Whether start() made the video and audio threads of the current recording (UI thread).
    bool videoThreadStarted() const { return videoThread_ != nullptr; }
    bool audioThreadStarted() const { return audioThread_ != nullptr; }

    // What the sound of the last recording amounted to, read when stop() had drained the
    // mixer and before it was freed: frames fed into the mixer (with two sources, the fewer),
    // frames pulled out of it, and frames the encoder took.
    struct AudioTally {
        uint32_t fed = 0;
        uint32_t pulled = 0;
        uint32_t encoded = 0;
    };
    AudioTally audioTally() const { return tally_; }

    // While the log is on, the video thread writes a "Stats" line this often (milliseconds of
    // the system clock): time since start (pauses included), frames encoded so far, the
    // capturers' queue depths and the mixer's backlog and skew, so a long recording shows
    // whether anything grows. Set before start.
    static constexpr uint32_t kStatsIntervalMs = 10000;
    void setStatsInterval(uint32_t ms) { statsIntervalMs_ = ms; }

private:
    int32_t prepare(const std::string& outputPath, const Rect& captureRect, uint32_t frameRate,
                    int32_t videoBitRate, const std::string& cameraPath);
    int32_t begin();
    void reportWriteFailure();
    void joinFinishing();
    bool videoIteration();
    void logStats(uint32_t now);
    bool audioIteration();

    // Written by the UI thread; read by the video and audio threads to know when to end.
    std::atomic<State> state_{Created};

    std::function<void()> onWriteFailure_;  // set on the UI thread before the workers start
    std::atomic<bool> writeFailureReported_{false};  // worker threads
    std::unique_ptr<Encoder> encoder_;
    std::unique_ptr<ScreenCapturer> screen_;
    Rect captureRect_;  // UI thread (the video thread grabs through the capturer's own copy)
    std::unique_ptr<AudioManager> audio_;
    std::unique_ptr<CameraCapture> camera_;
    std::unique_ptr<WorkerThread> videoThread_;
    std::unique_ptr<WorkerThread> audioThread_;
    // Filled by stop() on the UI thread; then the finish thread's until it is joined.
    std::unique_ptr<FileFinisher> finisher_;
    std::unique_ptr<WorkerThread> finishThread_;  // UI thread
    std::string outputPath_;

    // UI thread: camera frames make the main video (set by init), the camera was run by start.
    bool cameraFeedsMain_ = false;
    bool cameraRuns_ = false;
    // Set by the UI thread once the audio manager's threads have ended (nothing more will be
    // fed into the mixer); the audio thread then ends as soon as the mixer is drained.
    std::atomic<bool> soundInputEnded_{false};
    // Allocated before the threads start and freed after they ended; the video thread's grab
    // buffer and the audio thread's frame.
    std::vector<uint8_t> videoBuffer_;
    // What the video thread grabs into and encodes from: the display's own buffer or
    // videoBuffer_. Set on the UI thread before the video thread starts.
    uint8_t* frame_ = nullptr;
    FFmpegPtr<AVFrame> audioFrame_;
    // Written by the audio thread; read by the UI thread once it has been joined.
    uint32_t encodedAudioFrames_ = 0;
    AudioTally tally_;  // UI thread
    // Set by the UI thread before the video thread starts; then the video thread's alone.
    uint32_t statsIntervalMs_ = kStatsIntervalMs;
    uint32_t statsStartMs_ = 0;
    uint32_t lastStatsMs_ = 0;
};
