#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/ClockDriftEstimator.h"
#include "base/FFmpegPtr.h"
#include "base/Guarded.h"
#include "platform/WaveFormat.h"

struct AVCodecContext;
struct AVFilterContext;
struct AVFilterGraph;
struct AVFrame;
struct SwrContext;

// Turns the chunks of one or two capturers into frames in the audio encoder's own format: each
// source is resampled to the encoder's format and pushed into one filter graph, where two
// sources are added by "amix" and lifted by "volume" before the sink. A source whose device
// clock strays from the recording clock is stretched or squeezed by the measured amount while
// it is resampled, by at most kMaxCorrection: 0.2 % is 3.5 cents, below the smallest pitch
// change a listener tells apart even between two steady tones, and four times the 500 ppm by
// which sound cards stray, which leaves room to catch up what went astray before the
// measurement settled.
class AudioMixer {
public:
    static constexpr double kMaxCorrection = 0.002;
    // A correction still owed is spread over this much sound.
    static constexpr int kCatchUpSeconds = 10;

    AudioMixer();
    ~AudioMixer();
    AudioMixer(const AudioMixer&) = delete;
    AudioMixer& operator=(const AudioMixer&) = delete;

    // Builds the graph for the encoder's context and the capturers' formats (null for a source
    // that is not recorded). 0 or a negative FFmpeg code.
    int Initialize(const AVCodecContext* codec, const WaveFormat* microphone,
                   const WaveFormat* speaker);
    // Mixer thread: one planar chunk (one encoder frame of the source) in, with how far the
    // source's sound must have moved by its end. 0, or -1 when the graph refused it.
    int FeedMicrophone(const uint8_t* planar, int32_t bytes, const DriftCorrection& drift = {});
    int FeedSpeaker(const uint8_t* planar, int32_t bytes, const DriftCorrection& drift = {});
    // Any thread: the next mixed frame, as av_buffersink_get_frame returns it.
    int PullFrame(AVFrame* frame);
    // Frees the graph and everything built for it.
    void Release();

    // Whether every sample pushed into the graph has been pulled (with two sources, those of
    // the fewer pushed). Counted in samples where they are pushed, after resampling: a source
    // slower than the encoder pushes more frames than it was fed chunks.
    bool IsDrained() const;
    // The same counts in encoder frames (every frame pushed holds frameSize samples).
    uint32_t micFed() const { return inFrames(mic_.pushedSamples.load()); }
    uint32_t speakerFed() const { return inFrames(speaker_.pushedSamples.load()); }
    uint32_t pulled() const { return inFrames(pulledSamples_.load()); }
    // Any thread: samples of each source in the encoder's format so far, converted or held in
    // the resampler (updated after each chunk).
    uint64_t micSamples() const { return mic_.outputSamples.load(); }
    uint64_t speakerSamples() const { return speaker_.outputSamples.load(); }
    // Any thread, from the counters alone: frames fed but not yet pulled (with two sources,
    // counted from the fewer fed), and how far the microphone has been fed ahead of the
    // speaker (0 with one source). Either growing over a long recording means sound piles up.
    int32_t Backlog() const;
    int32_t Skew() const;

    // For inspection (tests, diagnostics): the configured graph, or null. Only while no other
    // thread feeds or pulls.
    const AVFilterGraph* graph();

private:
    // One recorded source. Built by Initialize; then used by the mixer thread alone, except the
    // counter, which other threads read.
    struct Source {
        const WaveFormat* format = nullptr;  // the capturer's, not owned
        int inputFormat = -1;                // AVSampleFormat of its chunks
        FFmpegPtr<AVFrame> input;
        FFmpegPtr<SwrContext> resampler;
        FFmpegPtr<AVFrame> output;  // encoder format, reused for every push
        FFmpegPtr<uint8_t> outputBuffer;
        int outputFill = 0;                      // samples already converted into output
        std::vector<uint8_t> widened;            // 24-bit chunks widened to 32 bits
        std::atomic<uint64_t> pushedSamples{0};  // written by the mixer thread, read by any
        std::atomic<uint64_t> outputSamples{0};  // likewise
        uint64_t inputFrames = 0;
        uint64_t converted = 0;
        bool steering = false;  // the resampler's rate has been corrected
    };

    // The graph and its filters: entered by the mixer thread (pushes) and the encoder's audio
    // thread (pulls), always under the lock.
    struct Graph {
        FFmpegPtr<AVFilterGraph> graph;
        AVFilterContext* volume = nullptr;
        AVFilterContext* speakerSource = nullptr;
        AVFilterContext* micSource = nullptr;
        AVFilterContext* mix = nullptr;
        AVFilterContext* sink = nullptr;
    };

    int initSource(Graph& g, Source& s, const AVCodecContext* codec, const char* name,
                   AVFilterContext** filter);
    int feed(Source& s, AVFilterContext* Graph::*source, const uint8_t* planar, int32_t bytes,
             const DriftCorrection& drift);
    void steer(Source& s, const DriftCorrection& drift, int frames);
    double outputSoFar(const Source& s) const;
    int push(Source& s, AVFilterContext* Graph::*source);
    uint64_t pushedToSink() const;
    uint32_t inFrames(uint64_t samples) const;

    std::atomic<uint64_t> pulledSamples_{0};  // written under the graph lock, read by any thread
    Source mic_;
    Source speaker_;
    Guarded<Graph> graph_;
    // Set by Initialize before feeding and pulling start; read-only afterwards.
    bool both_ = false;
    int frameSize_ = 0;
    int outChannels_ = 0;
    int outFormat_ = -1;
    int outRate_ = 0;
};
