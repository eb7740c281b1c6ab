#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/AudioCapturer.h"
#include "audio/AudioMixer.h"
#include "audio/FIRFilter.h"
#include "audio/Silence.h"
#include "platform/AudioEndpoint.h"
#include "platform/Clock.h"
#include "platform/WorkerThread.h"

struct AVCodecContext;
struct AVFrame;

enum AudioManagerState : int32_t {
    kAudioInitialized = 1,
    kAudioRunning = 2,
    kAudioPaused = 3,
    kAudioStopping = 4,  // capture threads leave, the mixer thread drains and leaves
};

// Owns everything that records sound: up to two capturers (microphone, and what the computer
// plays through loopback), the silence player, the mixer and the microphone filter; runs one
// capture thread per capturer and one mixer thread that moves chunks into the mixer.
class AudioManager {
public:
    static constexpr int32_t kMicrophone = 0;
    static constexpr int32_t kSpeaker = 1;

    explicit AudioManager(
        platform::AudioEndpointFactory& factory = platform::AudioEndpointFactory::system(),
        const platform::Clock& clock = platform::Clock::system());
    ~AudioManager();
    AudioManager(const AudioManager&) = delete;
    AudioManager& operator=(const AudioManager&) = delete;

    // UI thread, while no recording runs.
    int32_t OpenDevice(int32_t kind);
    void CloseDevice(int32_t kind);
    // The encoder's audio context: 0, 1 when no source is open, or E_FAIL.
    int32_t Initialize(const AVCodecContext* codec);
    uint32_t OutputSampleRate() const;
    uint32_t OutputBitRate() const;
    int32_t Start();
    void Pause();
    void Resume();
    int32_t Stop();
    void Release();

    // The encoder's audio thread: whether the mixer has handed out what was fed, and the next
    // mixed frame (as av_buffersink_get_frame returns it).
    bool IsDrained();
    int PullFrame(AVFrame* frame);
    AudioMixer* mixer() { return mixer_.get(); }
    // Any thread while a recording runs (the capturers live from Initialize to Release):
    // chunks waiting in each capturer's queue for the mixer thread; 0 for a source not recorded.
    uint32_t MicrophoneQueueDepth();
    uint32_t SpeakerQueueDepth();

    // Written by the Store on the UI thread while no recording runs.
    void setFilterOn(bool on) { filterOn_ = on; }
    void setWc(double wc) { wc_ = wc; }
    bool filterOn() const { return filterOn_; }
    double wc() const { return wc_; }

    bool microphoneOn() const { return microphoneOn_; }
    bool speakerOn() const { return speakerOn_; }
    // The open source's stream format, or null.
    const WaveFormat* microphoneFormat() const;
    const WaveFormat* speakerFormat() const;
    int32_t state() const { return state_; }
    uint32_t framesPerChunk() const { return framesPerChunk_; }

private:
    // Starts a source and its polling thread; false when either cannot start.
    bool startCapture(std::unique_ptr<AudioCapturer>& source, std::atomic<bool>& on,
                      std::unique_ptr<WorkerThread>& thread, const char* name);
    bool mixIteration();
    void moveMicrophoneChunks();
    void moveSpeakerChunks();
    void filterChunk(uint8_t* chunk, int32_t bytes);
    template <typename F>
    void forEachCapture(F&& f);

    platform::AudioEndpointFactory& factory_;
    const platform::Clock& clock_;

    // Set on the UI thread before the threads start; read-only while they run.
    uint32_t framesPerChunk_ = 1024;
    // Written by the UI thread; read by the capture and mixer threads in their loops.
    std::atomic<int32_t> state_{0};
    // Set by the UI thread in Stop once the capture threads have been joined; read by the mixer
    // thread, which may end only then: a capture thread still in its last poll when the stop
    // came queues chunks after the stop, and those must be mixed too.
    std::atomic<bool> captureEnded_{false};
    // Written by the UI thread while no worker runs; read by the workers and the encoder's
    // audio thread.
    std::atomic<bool> microphoneOn_{false};
    std::atomic<bool> speakerOn_{false};
    std::atomic<bool> filterOn_{false};  // read by the mixer thread
    bool silenceOn_ = false;             // UI thread only
    double wc_ = 0.0;
    std::unique_ptr<AudioCapturer> microphone_;
    std::unique_ptr<AudioCapturer> speaker_;
    std::unique_ptr<AudioMixer> mixer_;
    // One filter per microphone channel, each with its own history; the mixer thread's alone.
    std::vector<FIRFilter> filters_;
    std::vector<double> filterIn_;  // mixer thread's scratch
    std::vector<double> filterOut_;
    Silence silence_;
    // UI thread only.
    std::unique_ptr<WorkerThread> microphoneThread_;
    std::unique_ptr<WorkerThread> speakerThread_;
    std::unique_ptr<WorkerThread> mixerThread_;
};
