#include "audio/AudioCapturer.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "base/Log.h"

namespace {

const char* const kUnit = "AudioCapturer";
// How often the measured device clock is logged, in recording time.
constexpr int64_t kReportMs = 60000;

std::unique_ptr<uint8_t[]> newChunk(int32_t bytes) {
    return std::unique_ptr<uint8_t[]>(new uint8_t[static_cast<size_t>(bytes)]());  // zero-filled
}

}  // namespace

AudioCapturer::AudioCapturer(platform::AudioEndpointFactory& factory, const platform::Clock& clock)
    : factory_(factory), clock_(clock) {}

AudioCapturer::~AudioCapturer() {
    Release();
}

int32_t AudioCapturer::Open(platform::DataFlow flow, uint32_t streamFlags) {
    std::unique_ptr<platform::AudioEndpointEnumerator> enumerator;
    int32_t hr = factory_.createEnumerator(&enumerator);
    if (hr < 0) {
        SC_LOG(kUnit, "Can't create IMMDeviceEnumerator\n");
        return hr;
    }
    hr = enumerator->getDefaultAudioEndpoint(flow, &device_);
    enumerator.reset();
    if (hr < 0) {
        SC_LOG(kUnit, "Can't get audio end point\n");
        return hr;
    }
    hr = device_->activate();
    if (hr < 0) {
        SC_LOG(kUnit, "Can't activate audio client\n");
        return hr;
    }
    format_ = std::make_unique<WaveFormat>();
    hr = device_->getMixFormat(format_.get());
    if (hr < 0) {
        SC_LOG(kUnit, "Can't get mix format\n");
        return hr;
    }
    AdjustMixFormat(*format_);
    hr = device_->initialize(*format_, streamFlags);
    if (hr < 0) {
        SC_LOG(kUnit, "Can't initialize specific format\n");
        return hr;
    }
    hr = device_->getService(platform::AudioEndpoint::Service::Capture);
    if (hr < 0) {
        SC_LOG(kUnit, "Can't get capture client\n");
        return hr;
    }
    captureClient_ = true;
    return platform::audiohr::kOk;
}

int32_t AudioCapturer::Start(uint32_t framesPerChunk) {
    if (!device_ || !captureClient_ || !format_ || format_->samplesPerSec == 0) {
        return platform::audiohr::kNotInitialized;
    }
    fill_ = 0;
    silenceSince_ = -1;
    chunkBytes_ = static_cast<int32_t>(
        (static_cast<int64_t>(format_->bitsPerSample) * format_->channels * framesPerChunk) / 8);
    if (chunkBytes_ <= 0) {
        return platform::audiohr::kFail;
    }
    const uint32_t chunkMs = (framesPerChunk * 1000u) / format_->samplesPerSec;
    // A chunk shorter than a millisecond has no whole-millisecond duration: time gaps as if it
    // lasted one, rather than dividing by zero.
    chunkRate_ = 1.0 / static_cast<double>(chunkMs == 0 ? 1u : chunkMs);
    current_ = newChunk(chunkBytes_);
    lastReading_ = clock_.nowMs();
    clockMs_ = 0;
    framesIn_ = 0;
    framesQueued_ = 0;
    nextReportMs_ = kReportMs;
    drift_ = ClockDriftEstimator(format_->samplesPerSec);
    return device_->start();
}

void AudioCapturer::Poll() {
    if (!device_ || !current_) {
        return;
    }
    uint32_t packetFrames = 0;
    if (device_->getNextPacketSize(&packetFrames) < 0) {
        packetFrames = 0;  // a lost device delivers nothing; the gap timing covers it
    }

    bool gapBeingTimed = false;
    if (silenceSince_ >= 0 && packetFrames != 0) {
        // Data is waiting after a stretch without any: the stretch was this thread not getting
        // to poll (a busy machine), not a silent device. The data covers that time; silence on
        // top of it would put the sound ahead of the picture for the rest of the recording.
        silenceSince_ = -1;
    } else if (silenceSince_ >= 0) {
        // Unsigned difference: the millisecond clock wraps.
        const uint32_t elapsed = clock_.nowMs() - static_cast<uint32_t>(silenceSince_);
        const double chunksElapsed = static_cast<double>(elapsed) * chunkRate_;
        if (chunksElapsed > kGapChunks) {
            auto bytes = static_cast<int64_t>(std::floor(chunkBytes_ * chunksElapsed));
            // Whole frames only: a partial frame would shift every later sample into the
            // wrong channel.
            bytes -= bytes % format_->blockAlign;
            appendSilence(bytes);
            silenceSince_ = -1;
            // The silence only approximates the gap's length: the device's phase after it is
            // its own.
            drift_.Break();
        } else {
            gapBeingTimed = true;
        }
    }

    if (packetFrames != 0) {
        silenceSince_ = -1;
    } else {
        if (!gapBeingTimed) {
            silenceSince_ = clock_.nowMs();
        }
        return;
    }

    while (packetFrames != 0) {
        const uint8_t* data = nullptr;
        uint32_t frames = 0;
        uint32_t flags = 0;
        if (device_->getBuffer(&data, &frames, &flags) < 0) {
            break;
        }
        if (frames != 0) {
            const int64_t bytes = static_cast<int64_t>(format_->blockAlign) * frames;
            if ((flags & platform::kBufferFlagsSilent) != 0 || data == nullptr) {
                appendBytes(nullptr, bytes);
            } else {
                appendBytes(data, bytes);
            }
        }
        device_->releaseBuffer(frames);
        if (device_->getNextPacketSize(&packetFrames) < 0) {
            packetFrames = 0;
        }
    }
    const int64_t now = recordingMs();
    drift_.Observe(now, framesIn_);
    if (now >= nextReportMs_ && drift_.ready()) {
        nextReportMs_ = now + kReportMs;
        const DriftCorrection c = drift_.CorrectionAt(framesIn_);
        SC_LOG(kUnit, "Device clock %.6f of nominal at %lld ms, sound moved by %.1f ms",
               drift_.ratio(), static_cast<long long>(now),
               c.total * 1000.0 / format_->samplesPerSec);
    }
}

// The recording clock: the clock's milliseconds since Start, paused time left out.
int64_t AudioCapturer::recordingMs() {
    const uint32_t now = clock_.nowMs();
    clockMs_ += static_cast<uint32_t>(now - lastReading_);  // unsigned: the clock wraps
    lastReading_ = now;
    return clockMs_;
}

void AudioCapturer::Pause() {
    recordingMs();  // the time up to the pause counts
    silenceSince_ = -1;
}

void AudioCapturer::Resume() {
    lastReading_ = clock_.nowMs();
    silenceSince_ = -1;
    // What the device delivered during the pause was thrown away, with whatever of it had not
    // been read before the pause.
    drift_.Break();
}

// Copies n bytes of the source (zeros when source is null) into chunks.
void AudioCapturer::appendBytes(const uint8_t* source, int64_t n) {
    framesIn_ += n / format_->blockAlign;
    int64_t offset = 0;
    while (fill_ + n >= chunkBytes_) {
        const int32_t take = chunkBytes_ - fill_;
        if (source) {
            std::memcpy(current_.get() + fill_, source + offset, static_cast<size_t>(take));
        }  // else the tail is zero already
        queueCurrentChunk();
        offset += take;
        n -= take;
    }
    if (n > 0) {
        if (source) {
            std::memcpy(current_.get() + fill_, source + offset, static_cast<size_t>(n));
        }
        fill_ += static_cast<int32_t>(n);
    }
}

void AudioCapturer::appendSilence(int64_t n) {
    framesIn_ += n / format_->blockAlign;
    if (fill_ + n < chunkBytes_) {
        fill_ += static_cast<int32_t>(n);  // the chunk was zero-filled when allocated
        return;
    }
    do {
        n -= chunkBytes_ - fill_;
        queueCurrentChunk();
    } while (n >= chunkBytes_);
    fill_ += static_cast<int32_t>(n);
}

void AudioCapturer::queueCurrentChunk() {
    framesQueued_ += chunkBytes_ / format_->blockAlign;
    AudioChunk full{std::exchange(current_, newChunk(chunkBytes_)),
                    drift_.CorrectionAt(framesQueued_)};
    fill_ = 0;
    queue_.lock()->push_back(std::move(full));
}

int32_t AudioCapturer::Flush() {
    if (!device_ || !captureClient_) {
        return platform::audiohr::kOk;
    }
    uint32_t packetFrames = 0;
    int32_t hr = device_->getNextPacketSize(&packetFrames);
    if (hr < 0) {
        return hr;
    }
    while (packetFrames != 0) {
        const uint8_t* data = nullptr;
        uint32_t frames = 0;
        uint32_t flags = 0;
        hr = device_->getBuffer(&data, &frames, &flags);
        if (hr < 0) {
            return hr;
        }
        device_->releaseBuffer(frames);
        hr = device_->getNextPacketSize(&packetFrames);
        if (hr < 0) {
            return hr;
        }
    }
    return hr;
}

AudioChunk AudioCapturer::TakeChunk() {
    auto queue = queue_.lock();
    if (queue->empty()) {
        return {};
    }
    AudioChunk chunk = std::move(queue->front());
    queue->pop_front();
    return chunk;
}

bool AudioCapturer::IsEmpty() {
    return queue_.lock()->empty();
}

uint32_t AudioCapturer::QueuedChunks() {
    return static_cast<uint32_t>(queue_.lock()->size());
}

int32_t AudioCapturer::Release() {
    int32_t hr = platform::audiohr::kOk;
    if (device_) {
        hr = device_->stop();
        if (hr == platform::audiohr::kNotInitialized) {
            hr = platform::audiohr::kOk;  // never initialised: nothing was running
        }
    }
    device_.reset();
    captureClient_ = false;
    format_.reset();
    current_.reset();
    fill_ = 0;
    silenceSince_ = -1;
    // Chunks of this stream must not reach a later recording.
    queue_.lock()->clear();
    return hr;
}

void AdjustMixFormat(WaveFormat& format) {
    const bool plainFloat = format.formatTag == WaveFormat::kIeeeFloat;
    const bool extensibleFloat = format.formatTag == WaveFormat::kExtensible &&
                                 format.subFormat == WaveFormat::SubFormat::IeeeFloat;
    if (!plainFloat && !extensibleFloat) {
        return;
    }
    if (extensibleFloat) {
        format.validBitsPerSample = 16;
        format.subFormat = WaveFormat::SubFormat::Pcm;
    } else {
        format.formatTag = WaveFormat::kPcm;
    }
    format.bitsPerSample = 16;
    format.blockAlign = static_cast<uint16_t>(format.channels * 2);
    format.avgBytesPerSec = format.samplesPerSec * format.blockAlign;
}

std::unique_ptr<uint8_t[]> Deinterleave(const uint8_t* source, int32_t byteCount, int32_t channels,
                                        int32_t bitsPerSample) {
    if (byteCount <= 0) {
        return std::unique_ptr<uint8_t[]>(new uint8_t[1]());
    }
    std::unique_ptr<uint8_t[]> out(new uint8_t[static_cast<size_t>(byteCount)]());
    const int32_t b = bitsPerSample / 8;
    if (b <= 0 || channels <= 0 || source == nullptr) {
        return out;  // no sample layout to follow
    }
    const int64_t frameBytes = static_cast<int64_t>(b) * channels;
    const int64_t planeSize = byteCount / channels;
    // Whole frames only: a trailing partial frame has no place in every plane.
    for (int64_t f = 0; (f + 1) * frameBytes <= byteCount; ++f) {
        for (int32_t c = 0; c < channels; ++c) {
            std::memcpy(out.get() + c * planeSize + f * b, source + f * frameBytes + c * b,
                        static_cast<size_t>(b));
        }
    }
    return out;
}
