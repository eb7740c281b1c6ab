#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "audio/ClockDriftEstimator.h"
#include "base/Guarded.h"
#include "platform/AudioEndpoint.h"
#include "platform/Clock.h"
#include "platform/WaveFormat.h"

// One chunk of interleaved PCM: chunkBytes() bytes, owned by whoever holds it, and how far the
// sound up to its end must move to keep in step with the recording clock.
struct AudioChunk {
    std::unique_ptr<uint8_t[]> bytes;
    DriftCorrection drift;

    explicit operator bool() const { return bytes != nullptr; }
};

// Records one endpoint in shared mode and cuts what it delivers into a FIFO of equal chunks of
// framesPerChunk frames, so that every chunk becomes exactly one frame for the encoder.
// Stretches without packets longer than 25 chunk durations are filled with silence, so the
// chunk stream keeps pace with the clock. The device's own clock is measured against the
// recording clock (the given clock with paused time left out) and every chunk says how far the
// sound must move to follow the recording clock.
class AudioCapturer {
public:
    // Chunks of silence a stretch without packets must exceed before it is filled in.
    static constexpr double kGapChunks = 25.0;

    explicit AudioCapturer(
        platform::AudioEndpointFactory& factory = platform::AudioEndpointFactory::system(),
        const platform::Clock& clock = platform::Clock::system());
    ~AudioCapturer();

    AudioCapturer(const AudioCapturer&) = delete;
    AudioCapturer& operator=(const AudioCapturer&) = delete;

    // Opens the default endpoint of the flow and prepares its stream. On failure the owner
    // calls Release.
    int32_t Open(platform::DataFlow flow, uint32_t streamFlags);
    // Sizes the chunks and starts the stream.
    int32_t Start(uint32_t framesPerChunk);
    // Capture thread: reads every pending packet into chunks, fills long gaps.
    void Poll();
    // Reads and throws away every pending packet (only while Poll cannot run).
    int32_t Flush();
    // The oldest chunk, or null when the queue is empty. The caller owns it.
    AudioChunk TakeChunk();
    bool IsEmpty();
    // Any thread: how many whole chunks wait to be taken (read under the queue's lock).
    uint32_t QueuedChunks();
    // Stops the stream and frees everything; the result of stopping it.
    int32_t Release();

    // The stream format after adjustment; null when not open.
    const WaveFormat* format() const { return format_.get(); }
    int32_t chunkBytes() const { return chunkBytes_; }
    // The recording pauses and resumes: the time between is no recording time, a gap being
    // timed is forgotten and the device's phase after the pause is its own. Only while Poll
    // cannot run.
    void Pause();
    void Resume();
    int64_t silenceSince() const { return silenceSince_; }

private:
    void appendBytes(const uint8_t* source, int64_t n);
    void appendSilence(int64_t n);
    void queueCurrentChunk();
    int64_t recordingMs();

    platform::AudioEndpointFactory& factory_;
    const platform::Clock& clock_;

    // Written by the owner's thread (Open, Start, Release) while the capture thread does not
    // run; used by the capture thread (Poll) and by Flush while that thread is suspended.
    std::unique_ptr<platform::AudioEndpoint> device_;
    bool captureClient_ = false;
    std::unique_ptr<WaveFormat> format_;
    int32_t chunkBytes_ = 0;
    int32_t fill_ = 0;
    double chunkRate_ = 0.0;
    // Capture thread in Poll; the owner's thread only while the capture thread is suspended.
    int64_t silenceSince_ = -1;
    std::unique_ptr<uint8_t[]> current_;
    // The recording clock as the capturer reads it, and what the device delivered against it:
    // the capture thread in Poll; the owner's thread in Start, Pause and Resume, while the
    // capture thread does not run.
    uint32_t lastReading_ = 0;
    int64_t clockMs_ = 0;
    int64_t framesIn_ = 0;      // delivered and filled in, since Start
    int64_t framesQueued_ = 0;  // in queued chunks
    int64_t nextReportMs_ = 0;
    ClockDriftEstimator drift_;

    // Filled by the capture thread, emptied by the mixer thread.
    Guarded<std::deque<AudioChunk>> queue_;
};

// Asks for 16-bit integer samples when the device mixes in float; leaves anything else alone.
// Rate, channels and channel mask never change.
void AdjustMixFormat(WaveFormat& format);

// Interleaved samples to planar: every channel's samples in order, one channel after another.
// byteCount bytes in, byteCount bytes out.
std::unique_ptr<uint8_t[]> Deinterleave(const uint8_t* source, int32_t byteCount, int32_t channels,
                                        int32_t bitsPerSample);
