#include "engine/Controller.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <algorithm>
#include <chrono>
#include <exception>

#include "audio/AudioManager.h"
#include "audio/AudioMixer.h"
#include "base/HResult.h"
#include "base/Log.h"
#include "engine/CameraCapture.h"
#include "engine/Encoder.h"
#include "engine/FileFinisher.h"
#include "engine/RecordingClock.h"
#include "engine/ScreenCapturer.h"
#include "platform/AudioEndpoint.h"
#include "platform/CameraService.h"
#include "platform/Clock.h"
#include "platform/WorkerThread.h"

namespace {

const char* const kUnit = "Controller";
constexpr auto kVideoSleep = std::chrono::milliseconds(10);
constexpr auto kAudioSleep = std::chrono::milliseconds(5);

}  // namespace

Controller::Controller()
    : Controller(platform::AudioEndpointFactory::system(), platform::CameraService::shared()) {}

Controller::Controller(platform::AudioEndpointFactory& audioEndpoints,
                       platform::CameraService& camera)
    : encoder_(std::make_unique<Encoder>()),
      screen_(std::make_unique<ScreenCapturer>()),
      audio_(std::make_unique<AudioManager>(audioEndpoints)),
      camera_(std::make_unique<CameraCapture>(camera)),
      finisher_(std::make_unique<FileFinisher>()) {
    CameraCapture::resetPreviewState();
    encoder_->setOnWriteFailure([this] { reportWriteFailure(); });
}

Controller::~Controller() {
    const State s = state_.load();
    if (s == Ready || s == Recording || s == Paused) {
        stop();
    }
    joinFinishing();
}

int32_t Controller::init(const std::string& outputPath, const Rect& captureRect, uint32_t frameRate,
                         int32_t videoBitRate, const std::string& cameraPath) {
    const State s = state_.load();
    if (s == Recording || s == Paused) {
        // The encoder and the capturer are in use by the running threads.
        return E_FAIL;
    }
    joinFinishing();  // the finisher is the UI thread's again
    int32_t hr = E_FAIL;
    try {
        hr = prepare(outputPath, captureRect, frameRate, videoBitRate, cameraPath);
    } catch (const std::exception& e) {
        SC_LOG(kUnit, "Init failed: %s", e.what());
        hr = E_FAIL;
    }
    if (hr < 0) {
        stop();
        return E_FAIL;
    }
    state_ = Ready;
    return S_OK;
}

int32_t Controller::prepare(const std::string& outputPath, const Rect& captureRect,
                            uint32_t frameRate, int32_t videoBitRate,
                            const std::string& cameraPath) {
    outputPath_ = outputPath;
    cameraFeedsMain_ = false;
    const bool cameraFile = !cameraPath.empty();

    // A camera that cannot be built has been released and disabled by now; we go on without.
    if (camera_->enabled() && cameraFile) {
        camera_->buildRecordingGraph();
    }
    const bool hasAudio = audio_->microphoneOn() || audio_->speakerOn();

    const bool onlyCamera = camera_->enabled() && camera_->onlyCamera() && cameraFile;
    const Rect videoRect = onlyCamera ? camera_->frameRect() : captureRect;
    if (videoRect.width() <= 0 || videoRect.height() <= 0) {
        return E_FAIL;
    }

    const int32_t opened =
        encoder_->open(outputPath, hasAudio, frameRate, static_cast<uint32_t>(videoRect.width()),
                       static_cast<uint32_t>(videoRect.height()), videoBitRate,
                       audio_->OutputSampleRate(), audio_->OutputBitRate());
    if (opened < 0) {
        return E_FAIL;
    }

    if (camera_->enabled() && cameraFile) {
        if (camera_->onlyCamera()) {
            if (camera_->attachEncoder(nullptr, encoder_.get()) < 0) {
                return E_FAIL;
            }
            cameraFeedsMain_ = true;
        } else {
            // A camera file that cannot be made drops the camera; the screen is still recorded.
            camera_->attachEncoder(cameraPath.c_str(), nullptr);
        }
    }

    if (audio_->Initialize(hasAudio ? encoder_->audioCodecContext() : nullptr) < 0) {
        return E_FAIL;
    }

    // The capture rect as given, also in only-camera mode, where it is prepared but not used.
    captureRect_ = captureRect;
    screen_->init(captureRect);
    return S_OK;
}

int32_t Controller::start() {
    // Only a prepared recording starts: a second start would put a second pair of threads on
    // the same encoder, and one after stop would write into a finished file.
    if (state_.load() != Ready) {
        return E_FAIL;
    }
    int32_t hr = E_FAIL;
    try {
        hr = begin();
    } catch (const std::exception& e) {
        SC_LOG(kUnit, "Start failed: %s", e.what());
        hr = E_FAIL;
    }
    if (hr < 0) {
        stop();
        return E_FAIL;
    }
    return S_OK;
}

int32_t Controller::begin() {
    if (encoder_->prepareRecording() < 0) {
        return E_FAIL;
    }
    tally_ = AudioTally{};
    encodedAudioFrames_ = 0;
    soundInputEnded_ = false;

    const bool sound = audio_->microphoneOn() || audio_->speakerOn();
    // Allocated before anything runs, so that a failure leaves nothing started behind it.
    if (sound) {
        audioFrame_.reset(av_frame_alloc());
        if (!audioFrame_) {
            return E_FAIL;
        }
    }
    if (!cameraFeedsMain_) {
        // Where the display writes grabs into memory of ours, frames are encoded from there;
        // otherwise from one buffer of our own.
        frame_ = screen_->frameBuffer();
        if (frame_ == nullptr) {
            videoBuffer_.assign(static_cast<size_t>(std::max(captureRect_.width(), 0)) *
                                    static_cast<size_t>(std::max(captureRect_.height(), 0)) * 4,
                                0);
            frame_ = videoBuffer_.data();
        }
    }

    if (audio_->Start() < 0) {
        return E_FAIL;
    }

    state_ = Recording;
    RecordingClock::instance().start();

    // A camera with nowhere to send its frames is not switched on.
    if (camera_->enabled() && camera_->graphExists() && camera_->attached()) {
        if (!camera_->onlyCamera() && camera_->hasOwnEncoder()) {
            camera_->prepareOwnEncoder();
        }
        if (camera_->run() < 0) {
            SC_LOG(kUnit, "Camera did not start");
        }
        cameraRuns_ = true;
    }

    if (!cameraFeedsMain_) {
        statsStartMs_ = platform::Clock::system().nowMs();
        lastStatsMs_ = statsStartMs_;
        videoThread_ = std::make_unique<WorkerThread>(
            "video", [this] { return videoIteration(); }, kVideoSleep);
        if (!videoThread_->start()) {
            return E_FAIL;
        }
    }
    if (sound) {
        audioThread_ = std::make_unique<WorkerThread>(
            "audio", [this] { return audioIteration(); }, kAudioSleep);
        if (!audioThread_->start()) {
            return E_FAIL;
        }
    }
    return S_OK;
}

void Controller::setOnWriteFailure(std::function<void()> callback) {
    onWriteFailure_ = std::move(callback);
}

void Controller::reportWriteFailure() {
    // Once stopping, the recording is ending anyway (the file's last writes come from stop).
    if (state_.load() == Stopped) {
        return;
    }
    if (!writeFailureReported_.exchange(true) && onWriteFailure_) {
        onWriteFailure_();
    }
}

bool Controller::videoIteration() {
    if (state_.load() == Stopped) {
        return false;
    }
    uint32_t clockTime = 0;
    if (screen_->capture(frame_, clockTime) > 0) {
        encoder_->encodeVideoFrame(frame_, clockTime);
    }
    // Only a clock reading per pass; the queues' locks are taken once an interval has passed.
    const uint32_t now = platform::Clock::system().nowMs();
    if (now - lastStatsMs_ >= statsIntervalMs_) {
        lastStatsMs_ = now;
        logStats(now);
    }
    return true;
}

void Controller::logStats(uint32_t now) {
    if (!LogEnabled()) {
        return;
    }
    // The audio figures stay 0 without sound: no mixer, no capturer on.
    AudioMixer* mixer = audio_->mixer();
    SC_LOG(kUnit, "Stats ms=%u frames=%u micQueue=%u speakerQueue=%u mixerBacklog=%d mixerSkew=%d",
           now - statsStartMs_, static_cast<uint32_t>(encoder_->videoFrames()),
           audio_->MicrophoneQueueDepth(), audio_->SpeakerQueueDepth(),
           mixer ? mixer->Backlog() : 0, mixer ? mixer->Skew() : 0);
}

bool Controller::audioIteration() {
    // Past the stop, whatever was fed into the mixer is still encoded before the thread ends.
    if (soundInputEnded_.load() && audio_->IsDrained()) {
        return false;
    }
    AVFrame* frame = audioFrame_.get();
    if (audio_->PullFrame(frame) >= 0) {
        if (encoder_->encodeAudioFrame(frame) > 0) {
            ++encodedAudioFrames_;
        }
        av_frame_unref(frame);
    }
    return true;
}

void Controller::pause() {
    if (state_.load() != Recording) {
        return;
    }
    audio_->Pause();
    // Parked where they sleep, so neither holds the encoder's or the mixer's lock meanwhile.
    if (videoThread_) {
        videoThread_->suspend();
    }
    if (audioThread_) {
        audioThread_->suspend();
    }
    if (cameraRuns_) {
        camera_->pause();
    }
    RecordingClock::instance().pause();
    state_ = Paused;
}

void Controller::resume() {
    if (state_.load() != Paused) {
        return;
    }
    RecordingClock::instance().resume();
    if (videoThread_) {
        videoThread_->resume();
    }
    if (audioThread_) {
        audioThread_->resume();
    }
    audio_->Resume();
    if (cameraRuns_) {
        camera_->run();
    }
    state_ = Recording;
}

void Controller::stop() {
    // Parked threads must run to see the end.
    if (state_.load() == Paused) {
        resume();
    }
    state_ = Stopped;
    try {
        audio_->Stop();
    } catch (const std::exception&) {
    }
    // Only now has the mixer been fed everything captured; the audio thread drains it.
    soundInputEnded_ = true;
    if (audioThread_) {
        audioThread_->wake();
        audioThread_->join();
        audioThread_.reset();
    }
    if (videoThread_) {
        videoThread_->wake();
        videoThread_->join();
        videoThread_.reset();
    }
    if (AudioMixer* mixer = audio_->mixer()) {
        const bool mic = audio_->microphoneOn();
        const bool speaker = audio_->speakerOn();
        tally_.fed = mic && speaker ? std::min(mixer->micFed(), mixer->speakerFed())
                     : mic          ? mixer->micFed()
                                    : mixer->speakerFed();
        tally_.pulled = mixer->pulled();
    }
    tally_.encoded = encodedAudioFrames_;
    try {
        audio_->Release();
    } catch (const std::exception&) {
    }
    screen_->release();
    // The camera stops before the main encoder closes: in only-camera mode its frames go there.
    try {
        camera_->release();
    } catch (const std::exception&) {
    }
    cameraRuns_ = false;
    cameraFeedsMain_ = false;
    if (encoder_->isOpen() && encoder_->fragmented()) {
        finisher_->add(outputPath_);
    }
    encoder_->close();
    const std::string cameraFile = camera_->takeUnfinishedFile();
    if (!cameraFile.empty()) {
        finisher_->add(cameraFile);
    }
    frame_ = nullptr;
    videoBuffer_.clear();
    videoBuffer_.shrink_to_fit();
    audioFrame_.reset();
}

bool Controller::finishFiles(std::function<void(int32_t percent)> progress,
                             std::function<void()> done) {
    joinFinishing();
    if (finisher_->empty()) {
        return false;
    }
    auto finish = [this, progress = std::move(progress), done = std::move(done)] {
        finisher_->run(progress);
        done();
        return false;  // once
    };
    finishThread_ = std::make_unique<WorkerThread>("finish", finish, std::chrono::milliseconds(0));
    if (!finishThread_->start()) {
        finishThread_.reset();
        finish();  // on this thread then: unseen, but the files are still finished
    }
    return true;
}

void Controller::joinFinishing() {
    if (finishThread_) {
        finishThread_->join();
        finishThread_.reset();
    }
}

int32_t Controller::testCamera(void* instance, const std::wstring& title, int32_t width,
                               int32_t height, uint16_t iconId) {
    const State s = state_.load();
    if (s == Ready || s == Recording || s == Paused) {
        // The camera is built for recording by now: a preview would run it into the camera
        // file before the recording clock starts, and closing the window would take it down.
        return E_FAIL;
    }
    return camera_->preview(instance, title, platform::CameraSize{width, height}, iconId);
}
