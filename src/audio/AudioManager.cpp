#include "audio/AudioManager.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
}

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/Log.h"
#include "platform/ThreadPriority.h"

namespace {

const char* const kUnit = "AudioManager";
constexpr auto kCaptureSleep = std::chrono::milliseconds(5);
constexpr auto kMixerSleep = std::chrono::milliseconds(3);

}  // namespace

AudioManager::AudioManager(platform::AudioEndpointFactory& factory, const platform::Clock& clock)
    : factory_(factory), clock_(clock), silence_(factory) {}

AudioManager::~AudioManager() {
    Stop();
    Release();
}

int32_t AudioManager::OpenDevice(int32_t kind) {
    if (kind != kMicrophone && kind != kSpeaker) {
        return 0;
    }
    const bool mic = kind == kMicrophone;
    SC_LOG(kUnit,
           mic ? "Try to open default microphone device" : "Try to open default speaker device");
    std::unique_ptr<AudioCapturer>& capturer = mic ? microphone_ : speaker_;
    std::atomic<bool>& on = mic ? microphoneOn_ : speakerOn_;
    if (!capturer) {
        capturer = std::make_unique<AudioCapturer>(factory_, clock_);
    }
    if (on) {
        on = false;
        capturer->Release();
    }
    const int32_t hr =
        mic ? capturer->Open(platform::DataFlow::Capture, 0)
            : capturer->Open(platform::DataFlow::Render, platform::kStreamFlagsLoopback);
    if (hr >= 0) {
        on = true;
        SC_LOG(kUnit, mic ? "Succeed open default microphone device"
                          : "Succeed open default speaker device");
        return hr;
    }
    capturer->Release();
    capturer.reset();
    on = false;
    if (!mic) {
        SC_LOG(kUnit, "Failed open default speaker device");
    }
    return hr;
}

void AudioManager::CloseDevice(int32_t kind) {
    std::atomic<bool>* on = kind == kMicrophone ? &microphoneOn_
                            : kind == kSpeaker  ? &speakerOn_
                                                : nullptr;
    AudioCapturer* capturer = kind == kMicrophone ? microphone_.get() : speaker_.get();
    if (on && *on) {
        *on = false;
        capturer->Release();  // kept for a later OpenDevice
    }
}

const WaveFormat* AudioManager::microphoneFormat() const {
    return microphoneOn_ && microphone_ ? microphone_->format() : nullptr;
}

const WaveFormat* AudioManager::speakerFormat() const {
    return speakerOn_ && speaker_ ? speaker_->format() : nullptr;
}

uint32_t AudioManager::OutputSampleRate() const {
    const WaveFormat* mic = microphoneFormat();
    const WaveFormat* spk = speakerFormat();
    if (mic && spk) {
        return std::max(mic->samplesPerSec, spk->samplesPerSec);
    }
    if (mic || spk) {
        return (mic ? mic : spk)->samplesPerSec;
    }
    return 48000;
}

uint32_t AudioManager::OutputBitRate() const {
    const WaveFormat* mic = microphoneFormat();
    const WaveFormat* spk = speakerFormat();
    if (!mic && !spk) {
        return 4 * 48000;
    }
    uint32_t channels = 0;
    if (mic && spk) {
        channels = std::max(mic->channels, spk->channels);
    } else {
        channels = (mic ? mic : spk)->channels;
    }
    return 2 * OutputSampleRate() * channels;
}

int32_t AudioManager::Initialize(const AVCodecContext* codec) {
    if (!microphoneOn_ && !speakerOn_) {
        return 1;
    }
    SC_LOG(kUnit, "=================== Initialize audio manager ==========================");
    if (!codec) {
        return platform::audiohr::kFail;
    }
    state_ = kAudioInitialized;
    framesPerChunk_ = static_cast<uint32_t>(std::max(codec->frame_size, 0));
    if (wc_ <= 0.0) {
        filterOn_ = false;
    }
    filters_.clear();
    const WaveFormat* mic = microphoneFormat();
    // The filter reads 16-bit samples; other widths pass unfiltered rather than as noise.
    if (mic && filterOn_ && mic->bitsPerSample == 16) {
        const FIRFilter::Design d = FIRFilter::ForMicrophone(mic->samplesPerSec, wc_);
        filters_.assign(mic->channels, FIRFilter(d.taps, d.cutoff));
    }

    SC_LOG(kUnit, "Initialize audio mixer");
    if (mixer_) {
        mixer_->Release();
    }
    mixer_ = std::make_unique<AudioMixer>();
    if (mixer_->Initialize(codec, mic, speakerFormat()) < 0) {
        return platform::audiohr::kFail;
    }
    SC_LOG(kUnit, "Succeed Initialize audio mixer");
    SC_LOG(kUnit,
           "=================== Succeed Initialize audio manager ==========================");
    return 0;
}

bool AudioManager::startCapture(std::unique_ptr<AudioCapturer>& source, std::atomic<bool>& on,
                                std::unique_ptr<WorkerThread>& thread, const char* name) {
    if (source->Start(framesPerChunk_) < 0) {
        // A source that cannot run is let go and shown off.
        source->Release();
        source.reset();
        on = false;
        return false;
    }
    AudioCapturer* capturer = source.get();
    auto raised = std::make_shared<bool>(false);
    thread = std::make_unique<WorkerThread>(
        name,
        [this, capturer, raised] {
            if (!*raised) {
                // Best effort: capture keeps pace better above normal priority.
                platform::raiseCurrentThreadPriority();
                *raised = true;
            }
            if (state_ == kAudioStopping) {
                return false;
            }
            capturer->Poll();
            return true;
        },
        kCaptureSleep);
    return thread->start();
}

int32_t AudioManager::Start() {
    using platform::audiohr::kFail;
    if (!microphoneOn_ && !speakerOn_) {
        return 1;
    }
    SC_LOG(kUnit, "=================== Start audio manager ==========================");
    if (!mixer_ || mixerThread_) {
        return kFail;  // not initialised, or already running
    }
    state_ = kAudioRunning;
    captureEnded_ = false;
    if (microphoneOn_ &&
        !startCapture(microphone_, microphoneOn_, microphoneThread_, "mic capture")) {
        return kFail;
    }
    if (speakerOn_) {
        SC_LOG(kUnit, "Start capture speaker");
        if (!startCapture(speaker_, speakerOn_, speakerThread_, "speaker capture")) {
            SC_LOG(kUnit, "Exception on start capture speaker");
            return kFail;
        }
        SC_LOG(kUnit, "Succeed on start capture speaker");
        SC_LOG(kUnit, "Start silence thread");
        if (silence_.Start() >= 0) {
            silenceOn_ = true;
            SC_LOG(kUnit, "Succeed on start silence speaker");
        } else {
            SC_LOG(kUnit, "Exception on start silence thread");
        }
    }
    mixerThread_ = std::make_unique<WorkerThread>(
        "audio mixer", [this] { return mixIteration(); }, kMixerSleep);
    if (!mixerThread_->start()) {
        return kFail;
    }
    SC_LOG(kUnit, "=================== Succeed start audio manager ==========================");
    return 0;
}

// Mixer thread: one pass; false once the capture threads have ended and there is nothing left
// to move.
bool AudioManager::mixIteration() {
    const bool mic = microphoneOn_;
    const bool spk = speakerOn_;
    // Read before the queues: whatever the capture threads queued is in them by now.
    const bool stopping = captureEnded_.load();
    const bool micEmpty = !mic || microphone_->IsEmpty();
    const bool spkEmpty = !spk || speaker_->IsEmpty();
    if (mic && spk) {
        // Past either queue's end nothing more can be mixed.
        if ((micEmpty || spkEmpty) && stopping) {
            return false;
        }
        moveMicrophoneChunks();
        moveSpeakerChunks();
    } else if (mic) {
        if (micEmpty && stopping) {
            return false;
        }
        moveMicrophoneChunks();
    } else if (spk) {
        if (spkEmpty && stopping) {
            return false;
        }
        moveSpeakerChunks();
    } else {
        return !stopping;
    }
    return true;
}

void AudioManager::moveMicrophoneChunks() {
    while (microphoneOn_ && !microphone_->IsEmpty()) {
        AudioChunk chunk = microphone_->TakeChunk();
        const int32_t n = microphone_->chunkBytes();
        if (!chunk) {
            break;
        }
        if (filterOn_ && !filters_.empty()) {
            filterChunk(chunk.bytes.get(), n);
        }
        const WaveFormat* f = microphone_->format();
        auto planar = Deinterleave(chunk.bytes.get(), n, f->channels, f->bitsPerSample);
        chunk.bytes.reset();
        mixer_->FeedMicrophone(planar.get(), n, chunk.drift);  // a refused frame is dropped
    }
}

void AudioManager::moveSpeakerChunks() {
    while (speakerOn_ && !speaker_->IsEmpty()) {
        AudioChunk chunk = speaker_->TakeChunk();
        const int32_t n = speaker_->chunkBytes();
        if (!chunk) {
            break;
        }
        const WaveFormat* f = speaker_->format();
        auto planar = Deinterleave(chunk.bytes.get(), n, f->channels, f->bitsPerSample);
        chunk.bytes.reset();
        mixer_->FeedSpeaker(planar.get(), n, chunk.drift);
    }
}

uint32_t AudioManager::MicrophoneQueueDepth() {
    return microphoneOn_ && microphone_ ? microphone_->QueuedChunks() : 0;
}

uint32_t AudioManager::SpeakerQueueDepth() {
    return speakerOn_ && speaker_ ? speaker_->QueuedChunks() : 0;
}

// Low-pass filters a chunk of interleaved 16-bit samples in place, each channel through its
// own filter so that channels do not bleed into each other.
void AudioManager::filterChunk(uint8_t* chunk, int32_t bytes) {
    const auto channels = static_cast<int32_t>(filters_.size());
    const int32_t frames = bytes / 2 / channels;
    filterIn_.resize(static_cast<size_t>(frames));
    filterOut_.resize(static_cast<size_t>(frames));
    for (int32_t c = 0; c < channels; ++c) {
        for (int32_t f = 0; f < frames; ++f) {
            const size_t at = (static_cast<size_t>(f) * channels + c) * 2;
            const auto s = static_cast<int16_t>(chunk[at] | (chunk[at + 1] << 8));
            filterIn_[static_cast<size_t>(f)] = s * 3.0517578125e-5;
        }
        filters_[static_cast<size_t>(c)].Apply(filterIn_.data(), filterOut_.data(), frames);
        for (int32_t f = 0; f < frames; ++f) {
            // Saturate: a filter overshoot past full scale must not wrap into the opposite
            // sign (a loud click).
            const double scaled = std::trunc(filterOut_[static_cast<size_t>(f)] * 32768.0);
            const auto s = static_cast<int16_t>(std::clamp(scaled, -32768.0, 32767.0));
            const size_t at = (static_cast<size_t>(f) * channels + c) * 2;
            chunk[at] = static_cast<uint8_t>(static_cast<uint16_t>(s) & 0xFF);
            chunk[at + 1] = static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8);
        }
    }
}

void AudioManager::Pause() {
    state_ = kAudioPaused;
    forEachCapture([](AudioCapturer& capturer, WorkerThread& thread) {
        // Parked first, so the capturer's timing is not being written while it changes.
        thread.suspend();
        capturer.Pause();
    });
}

void AudioManager::Resume() {
    state_ = kAudioRunning;
    forEachCapture([](AudioCapturer& capturer, WorkerThread& thread) {
        capturer.Flush();  // what was captured during the pause is not recorded
        capturer.Resume();
        thread.resume();
    });
}

// Each open capturer whose thread exists, with its thread.
template <typename F>
void AudioManager::forEachCapture(F&& f) {
    if (microphoneOn_ && microphone_ && microphoneThread_) {
        f(*microphone_, *microphoneThread_);
    }
    if (speakerOn_ && speaker_ && speakerThread_) {
        f(*speaker_, *speakerThread_);
    }
}

bool AudioManager::IsDrained() {
    const bool mic = microphoneOn_;
    const bool spk = speakerOn_;
    if (!mixer_ || (!mic && !spk)) {
        return true;
    }
    const bool micHolds = mic && microphone_ && !microphone_->IsEmpty();
    const bool spkHolds = spk && speaker_ && !speaker_->IsEmpty();
    if (mic && spk) {
        if (micHolds && spkHolds) {
            return false;
        }
    } else if (micHolds || spkHolds) {
        return false;
    }
    return mixer_->IsDrained();
}

int AudioManager::PullFrame(AVFrame* frame) {
    return mixer_ ? mixer_->PullFrame(frame) : AVERROR(EAGAIN);
}

int32_t AudioManager::Stop() {
    state_ = kAudioStopping;
    // A thread still parked by a pause could never see the stop.
    for (auto* thread : {&microphoneThread_, &speakerThread_, &mixerThread_}) {
        if (*thread) {
            (*thread)->resume();
            (*thread)->wake();
        }
    }
    if (microphoneThread_) {
        microphoneThread_->join();
        microphoneThread_.reset();
    }
    if (speakerThread_) {
        if (silenceOn_) {
            silence_.Stop();
            silenceOn_ = false;
        }
        speakerThread_->join();
        speakerThread_.reset();
    }
    captureEnded_ = true;
    if (mixerThread_) {
        mixerThread_->wake();
        mixerThread_->join();
        mixerThread_.reset();
    }
    return 0;
}

void AudioManager::Release() {
    if (microphoneThread_ || speakerThread_ || mixerThread_) {
        Stop();  // nothing may poll or mix what is freed below
    }
    state_ = kAudioStopping;
    if (microphone_) {
        microphone_->Release();
        microphone_.reset();
    }
    microphoneOn_ = false;
    if (speaker_) {
        speaker_->Release();
        speaker_.reset();
    }
    speakerOn_ = false;
    if (mixer_) {
        mixer_->Release();
        mixer_.reset();
    }
    filters_.clear();
}
