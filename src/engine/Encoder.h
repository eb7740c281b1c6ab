#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "base/FFmpegPtr.h"
#include "base/Guarded.h"
#include "engine/RecordingClock.h"

struct AVOutputFormat;
struct AVStream;

// Writes one output file: an H.264 stream made from BGRA frames and, optionally, an AAC stream
// made from mixed audio frames. The container follows the file name's extension.
//
// Threads: open() and close() run on the UI thread while no worker uses the encoder.
// encodeVideoFrame() is called by one thread at a time (the video thread or the camera
// callback), encodeAudioFrame() only by the audio thread; the two may run at the same time,
// so the container is kept with its lock and reached only through it.
class Encoder {
public:
    // Video timestamps are read from `clock` (the process-wide recording clock by default).
    explicit Encoder(const RecordingClock& clock = RecordingClock::instance());
    ~Encoder();  // close()

    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    // Creates the file with its streams and writes the header. >= 0 success; AVERROR_UNKNOWN
    // when no container matches the file name; -1 for any other failure (already closed then).
    int32_t open(std::string path, bool hasAudio, uint32_t frameRate, uint32_t width,
                 uint32_t height, int32_t videoBitRate, uint32_t sampleRate, uint32_t audioBitRate);

    // Start of a recording: the last video time and the audio sample count go back to 0.
    // The packets are allocated by open(); this makes sure they exist. 0 or AVERROR(ENOMEM).
    int32_t prepareRecording();

    // frame: width x height x 4 bytes of top-down BGRA, rows packed; clockTime: the recording
    // clock's reading at the grab (ms). 0 success (also for a frame dropped because its
    // timestamp would not advance), negative FFmpeg error.
    int32_t encodeVideoFrame(const uint8_t* frame, uint32_t clockTime);

    // frame: exactly frameSize samples in the audio codec's sample format, channel layout and
    // rate. 1 handled, -1 failure.
    int32_t encodeAudioFrame(const AVFrame* frame);

    // Drains both codecs, writes the trailer, closes the file and frees everything.
    // Harmless when nothing is open or when called again.
    void close();

    // The audio mixer reads sample_rate, ch_layout, sample_fmt and frame_size from the audio
    // context. Null when the stream does not exist.
    AVCodecContext* videoCodecContext() const { return videoCodec_.get(); }
    AVCodecContext* audioCodecContext() const { return audioCodec_.get(); }
    AVStream* videoStream() const { return videoStream_; }
    AVStream* audioStream() const { return audioStream_; }

    // For the owner between encode calls (not synchronised with the encoding threads).
    bool isOpen() const { return opened_ != 0; }
    // The file opened last is written in fragments (MP4, MOV) and wants finishing into a
    // regular one once closed (FileFinisher).
    bool fragmented() const { return fragmented_; }
    static bool isFragmentable(const AVOutputFormat* format);
    int64_t videoFrames() const { return videoFrames_; }
    int64_t audioSamples() const { return audioSamples_; }
    uint32_t lastVideoTime() const { return lastVideoTime_; }
    // The output refused a write (full disk, size limit): nothing more will be kept. Any
    // thread; reset by open.
    bool writeFailed() const { return writeFailed_.load(); }
    // Called once per opened file, on the thread whose write was refused (the video or audio
    // thread, or the camera callback), outside the write lock. Set while no worker runs.
    void setOnWriteFailure(std::function<void()> callback) {
        onWriteFailure_ = std::move(callback);
    }

private:
    // The output container with its file. Held only around av_interleaved_write_frame while
    // recording; open() and close() reach it the same way.
    struct Output {
        FFmpegPtr<AVFormatContext> format;
    };

    int32_t addVideoStream(AVFormatContext* format, uint32_t frameRate, uint32_t width,
                           uint32_t height, int32_t videoBitRate);
    int32_t addAudioStream(AVFormatContext* format, uint32_t sampleRate, uint32_t audioBitRate);
    // Writes one packet into the container under its lock; av_interleaved_write_frame's
    // result. The packet's reference is taken over.
    int32_t writePacket(AVPacket* packet);
    // Takes every packet the video codec has ready and writes it.
    int32_t writeVideoPackets();
    // Takes every packet the audio codec has ready, stamps it from the sample count, writes it.
    int32_t writeAudioPackets();
    void drainCodecs();

    const RecordingClock& clock_;

    // open()/close() on the UI thread while no worker runs; read by the encoding threads.
    int32_t opened_ = 0;
    bool fragmented_ = false;  // set by open() (UI thread), read by the owner
    // Written by the video thread, the audio thread and the camera callback, each under the
    // lock; open() and close() on the UI thread while no worker runs.
    Guarded<Output> output_;
    // Set under output_'s lock by whichever thread's write the file refused; read by any
    // thread.
    std::atomic<bool> writeFailed_{false};

    FFmpegPtr<AVFrame> videoFrame_;  // YUV420P picture each frame is converted into (video thread)

    // Video thread: the last clock reading and timestamp handed to the codec, frames sent.
    uint32_t lastVideoTime_ = 0;
    int64_t lastVideoPts_ = INT64_MIN;
    int64_t videoFrames_ = 0;
    uint32_t lastKeyTime_ = 0;  // clock reading of the last key frame asked for
    // Audio thread: samples encoded so far, the next packet's timestamp.
    int64_t audioSamples_ = 0;
    // Set by open: the codec's priming samples where the container keeps negative times
    // (timestamps count from minus their number), otherwise 0.
    int64_t audioPriming_ = 0;

    FFmpegPtr<AVPacket> videoPacket_;  // video thread
    FFmpegPtr<AVPacket> audioPacket_;  // audio thread
    FFmpegPtr<AVCodecContext> videoCodec_;
    FFmpegPtr<AVCodecContext> audioCodec_;
    AVStream* videoStream_ = nullptr;  // owned by output_'s container
    AVStream* audioStream_ = nullptr;  // owned by output_'s container

    uint32_t width_ = 0;
    uint32_t height_ = 0;

    std::function<void()> onWriteFailure_;  // set by the owner while no worker runs
};
