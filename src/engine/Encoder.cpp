#include "engine/Encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
}

#include <libyuv/convert.h>

#include <cstring>

#include "base/Log.h"

namespace {

const char* const kUnit = "Encoder";
constexpr int kGopSize = 30;
constexpr uint32_t kMaxKeyFrameGapMs = 2000;
constexpr int kImageAlign = 32;

// Milliseconds to ticks of `tb`, truncated, in integers (a double division can land a hair
// below a whole tick and lose it).
int64_t msToTicks(int64_t ms, AVRational tb) {
    return av_rescale_rnd(ms, tb.den, static_cast<int64_t>(tb.num) * 1000, AV_ROUND_DOWN);
}

}  // namespace

bool Encoder::isFragmentable(const AVOutputFormat* format) {
    return format != nullptr &&
           (std::strcmp(format->name, "mp4") == 0 || std::strcmp(format->name, "mov") == 0);
}

Encoder::Encoder(const RecordingClock& clock) : clock_(clock) {}

Encoder::~Encoder() {
    close();
}

int32_t Encoder::open(std::string path, bool hasAudio, uint32_t frameRate, uint32_t width,
                      uint32_t height, int32_t videoBitRate, uint32_t sampleRate,
                      uint32_t audioBitRate) {
    close();  // an encoder is reused only from a clean state
    writeFailed_.store(false);
    fragmented_ = false;
    lastVideoTime_ = 0;
    lastKeyTime_ = 0;
    lastVideoPts_ = INT64_MIN;
    videoFrames_ = 0;
    audioSamples_ = 0;

    // Built here and handed to the write lock's keeping once its header is written; on a
    // failure it goes (closing the file) when this returns.
    AVFormatContext* rawFormat = nullptr;
    avformat_alloc_output_context2(&rawFormat, nullptr, nullptr, path.c_str());
    FFmpegPtr<AVFormatContext> format(rawFormat);
    if (!format) {
        SC_LOG(kUnit, "Could not create output context\n");
        return AVERROR_UNKNOWN;
    }

    if (addVideoStream(format.get(), frameRate, width, height, videoBitRate) < 0) {
        close();
        return -1;
    }
    if (hasAudio && addAudioStream(format.get(), sampleRate, audioBitRate) < 0) {
        close();
        return -1;
    }

    av_dump_format(format.get(), 0, path.c_str(), 1);

    if (avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) {
        SC_LOG(kUnit, "Could not open '%s'\n", path.c_str());
        close();
        return -1;
    }

    // MP4 and MOV keep their index at the end, so a killed recording would leave nothing
    // that plays: they are written in fragments, one per key frame, each flushed to the file
    // as it is cut; FileFinisher makes a regular file of them at the end. The index waits
    // for the first fragment, so that it can trim the sound's priming as a regular file does.
    fragmented_ = isFragmentable(format->oformat);
    AVDictionary* rawHeaderOptions = nullptr;
    if (fragmented_) {
        av_dict_set(&rawHeaderOptions, "movflags", "frag_keyframe+delay_moov", 0);
        av_dict_set(&rawHeaderOptions, "flush_packets", "1", 0);
    }
    const int ret = avformat_write_header(format.get(), &rawHeaderOptions);
    FFmpegPtr<AVDictionary> headerOptions(rawHeaderOptions);
    if (ret < 0) {
        SC_LOG(kUnit, "Error occurred when opening output file\n");
        close();
        return -1;
    }
    output_.lock()->format = std::move(format);
    opened_ = 1;
    return ret;
}

int32_t Encoder::addVideoStream(AVFormatContext* format, uint32_t frameRate, uint32_t width,
                                uint32_t height, int32_t videoBitRate) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (!codec) {
        SC_LOG(kUnit, "Codec not found\n");
        return -1;
    }

    videoStream_ = avformat_new_stream(format, nullptr);
    if (!videoStream_) {
        return -1;
    }
    videoStream_->id = 0;

    videoCodec_.reset(avcodec_alloc_context3(codec));
    if (!videoCodec_) {
        SC_LOG(kUnit, "Could not allocate video codec context\n");
        return -1;
    }

    AVCodecContext* c = videoCodec_.get();
    c->codec_id = AV_CODEC_ID_H264;
    c->bit_rate = videoBitRate;
    c->width = static_cast<int>(width);
    c->height = static_cast<int>(height);
    c->time_base = AVRational{1, static_cast<int>(frameRate)};
    c->gop_size = kGopSize;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->profile = FF_PROFILE_H264_HIGH;

    // Encoding runs inline in the capturing thread: the fastest preset, no frame delay.
    av_opt_set(c->priv_data, "preset", "ultrafast", 0);
    av_opt_set(c->priv_data, "tune", "zerolatency", 0);
    AVDictionary* rawOptions = nullptr;
    av_dict_set(&rawOptions, "crf", "22", 0);

    if (format->oformat->flags & AVFMT_GLOBALHEADER) {
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }

    const int opened = avcodec_open2(c, codec, &rawOptions);
    FFmpegPtr<AVDictionary> options(rawOptions);
    if (opened < 0) {
        SC_LOG(kUnit, "Could not open codec\n");
        return -1;
    }

    if (avcodec_parameters_from_context(videoStream_->codecpar, c) < 0) {
        SC_LOG(kUnit, "Could not copy the stream parameters\n");
        return -1;
    }

    // Buffers of our own (reference counted), so handing the picture to the codec takes a
    // reference instead of a copy.
    videoFrame_.reset(av_frame_alloc());
    if (!videoFrame_) {
        return -1;
    }
    videoFrame_->format = c->pix_fmt;
    videoFrame_->width = c->width;
    videoFrame_->height = c->height;
    if (av_frame_get_buffer(videoFrame_.get(), kImageAlign) < 0) {
        return -1;
    }

    width_ = width;
    height_ = height;

    videoPacket_.reset(av_packet_alloc());
    return videoPacket_ ? 0 : -1;
}

int32_t Encoder::addAudioStream(AVFormatContext* format, uint32_t sampleRate,
                                uint32_t audioBitRate) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!codec) {
        SC_LOG(kUnit, "Codec not found\n");
        return -1;
    }

    audioStream_ = avformat_new_stream(format, codec);
    if (!audioStream_) {
        return -1;
    }
    audioStream_->id = 1;

    audioCodec_.reset(avcodec_alloc_context3(codec));
    if (!audioCodec_) {
        SC_LOG(kUnit, "Could not allocate audio codec context\n");
        return -1;
    }

    AVCodecContext* c = audioCodec_.get();
    c->codec_id = AV_CODEC_ID_AAC;
    c->codec_type = AVMEDIA_TYPE_AUDIO;
    c->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    c->sample_rate = static_cast<int>(sampleRate);
    av_channel_layout_uninit(&c->ch_layout);
    av_channel_layout_from_mask(&c->ch_layout, AV_CH_LAYOUT_STEREO);
    c->bit_rate = audioBitRate;
    c->time_base = AVRational{1, static_cast<int>(sampleRate)};
    audioStream_->time_base = c->time_base;

    if (format->oformat->flags & AVFMT_GLOBALHEADER) {
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }

    if (avcodec_open2(c, codec, nullptr) < 0) {
        SC_LOG(kUnit, "Could not open audio codec\n");
        return -1;
    }
    // The codec's priming samples come first and carry no sound. Where the container can hold
    // negative times (MP4, MOV: it trims them through its edit list), counting from minus
    // their number puts the first real sample at time 0, level with the first picture.
    // Elsewhere the muxer would shift every stream instead, so counting starts at 0.
    audioPriming_ = (format->oformat->flags & AVFMT_TS_NEGATIVE) ? c->initial_padding : 0;
    if (avcodec_parameters_from_context(audioStream_->codecpar, c) < 0) {
        SC_LOG(kUnit, "Could not copy the stream parameters\n");
        return -1;
    }

    audioPacket_.reset(av_packet_alloc());
    return audioPacket_ ? 0 : -1;
}

int32_t Encoder::prepareRecording() {
    lastVideoTime_ = 0;
    audioSamples_ = 0;
    if (videoCodec_ && !videoPacket_) {
        videoPacket_.reset(av_packet_alloc());
    }
    if (audioCodec_ && !audioPacket_) {
        audioPacket_.reset(av_packet_alloc());
    }
    const bool missing = (videoCodec_ && !videoPacket_) || (audioCodec_ && !audioPacket_);
    return missing ? AVERROR(ENOMEM) : 0;
}

int32_t Encoder::encodeVideoFrame(const uint8_t* frame, uint32_t clockTime) {
    if (!opened_ || !videoCodec_ || !videoPacket_ || !frame) {
        return AVERROR(EINVAL);
    }

    const AVRational tb = videoStream_->time_base;
    const uint32_t now = clock_.elapsedMs();

    // A frame that would not move the timestamp forward (a reading inside the previous tick
    // of a coarse container time base, or a clock reading that went back) would be refused by
    // the container; it is dropped here instead, before it costs a conversion.
    const int64_t pts = msToTicks(clockTime, tb);
    if (pts <= lastVideoPts_) {
        return 0;
    }

    AVFrame* picture = videoFrame_.get();
    // The codec may still hold a reference to the last picture; never scribble over it.
    int ret = av_frame_make_writable(picture);
    if (ret < 0) {
        return ret;
    }

    // Straight into the codec's planes, with the same BT.601 studio-range matrix the
    // library's scaler uses, at a fraction of its cost: the conversion was half a frame's CPU.
    if (libyuv::ARGBToI420(frame, static_cast<int>(width_ * 4), picture->data[0],
                           picture->linesize[0], picture->data[1], picture->linesize[1],
                           picture->data[2], picture->linesize[2], static_cast<int>(width_),
                           static_cast<int>(height_)) != 0) {
        return AVERROR(EINVAL);
    }

    picture->pts = pts;
    // How long the frame waited between grab and encode.
    picture->pkt_duration = msToTicks(static_cast<uint32_t>(now - clockTime), tb);
    // Every 30th frame is a key frame, whatever the frame rate, and one at least every
    // kMaxKeyFrameGapMs of recording however few frames a busy machine makes: each key frame
    // cuts a fragment of MP4 and MOV, so that is about what a killed recording can lose.
    if (videoFrames_ % kGopSize == 0 || clockTime - lastKeyTime_ >= kMaxKeyFrameGapMs) {
        picture->pict_type = AV_PICTURE_TYPE_I;
        lastKeyTime_ = clockTime;
    }

    ret = avcodec_send_frame(videoCodec_.get(), picture);
    picture->pict_type = AV_PICTURE_TYPE_NONE;
    if (ret < 0) {
        return ret;
    }
    ++videoFrames_;
    lastVideoPts_ = pts;

    ret = writeVideoPackets();
    lastVideoTime_ = clockTime;
    return ret;
}

int32_t Encoder::writeVideoPackets() {
    AVPacket* packet = videoPacket_.get();
    for (;;) {
        const int ret = avcodec_receive_packet(videoCodec_.get(), packet);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) {
            return 0;
        }
        if (ret < 0) {
            return ret;
        }
        // Timestamps stay those the codec made from the picture's, already in stream ticks.
        // The codec gives no duration; without one the last frame ends where it starts and
        // containers with an edit list (MP4, MOV) cut it off. A nominal frame time serves.
        packet->stream_index = videoStream_->index;
        if (packet->duration <= 0) {
            packet->duration = av_rescale_q(1, videoCodec_->time_base, videoStream_->time_base);
        }
        const int written = writePacket(packet);
        av_packet_unref(packet);
        if (written < 0) {
            return written;
        }
    }
}

int32_t Encoder::encodeAudioFrame(const AVFrame* frame) {
    const AVCodecContext* c = audioCodec_.get();
    // A frame of another shape would make the codec read planes or samples that are not
    // there. A frame that leaves its rate unset is taken to have the codec's.
    const bool fits = opened_ && c && audioPacket_ && frame && frame->format == c->sample_fmt &&
                      frame->nb_samples == c->frame_size &&
                      frame->ch_layout.nb_channels == c->ch_layout.nb_channels &&
                      (frame->sample_rate == 0 || frame->sample_rate == c->sample_rate);
    if (!fits || avcodec_send_frame(audioCodec_.get(), frame) < 0) {
        SC_LOG(kUnit, "Failed to encode audio!\n");
        return -1;
    }
    return writeAudioPackets() < 0 ? -1 : 1;
}

int32_t Encoder::writeAudioPackets() {
    AVPacket* packet = audioPacket_.get();
    const int frameSize = audioCodec_->frame_size;
    const AVRational sampleTime{1, audioCodec_->sample_rate};
    int32_t result = 0;
    for (;;) {
        const int ret = avcodec_receive_packet(audioCodec_.get(), packet);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) {
            return result;
        }
        if (ret < 0) {
            SC_LOG(kUnit, "Failed to encode audio!\n");
            return -1;
        }
        // Audio time is the count of samples encoded, independent of wall time, so a paused
        // recording has no gap in its sound. It is counted in 1/sampleRate and carried into
        // the stream's time base, which some containers (Matroska, FLV: milliseconds) replace
        // when the header is written.
        packet->stream_index = audioStream_->index;
        packet->pts =
            av_rescale_q(audioSamples_ - audioPriming_, sampleTime, audioStream_->time_base);
        packet->dts = packet->pts;
        packet->duration = av_rescale_q(frameSize, sampleTime, audioStream_->time_base);
        // A packet the container refuses is lost, but the sample count still moves on so the
        // sound after it keeps its place.
        if (writePacket(packet) < 0) {
            result = -1;
        }
        av_packet_unref(packet);
        audioSamples_ += frameSize;
    }
}

int32_t Encoder::writePacket(AVPacket* packet) {
    int result = 0;
    bool firstRefusal = false;
    {
        auto output = output_.lock();
        AVFormatContext* format = output->format.get();
        if (!opened_ || !format) {
            return AVERROR(EINVAL);
        }
        result = av_interleaved_write_frame(format, packet);
        // The file itself refuses data (a full disk, a size limit, a lost drive): nothing
        // written from now on would be kept, so the owner is told to finish the recording.
        if (result < 0 && format->pb != nullptr && format->pb->error < 0) {
            firstRefusal = !writeFailed_.exchange(true);
        }
    }
    // Told by the writing thread itself: in only-camera mode without sound no thread of the
    // owner's runs that could look.
    if (firstRefusal && onWriteFailure_) {
        onWriteFailure_();
    }
    return result;
}

void Encoder::drainCodecs() {
    // Whatever the codecs still hold is written before the trailer.
    if (videoCodec_ && videoPacket_ && avcodec_send_frame(videoCodec_.get(), nullptr) >= 0) {
        writeVideoPackets();
    }
    if (audioCodec_ && audioPacket_ && avcodec_send_frame(audioCodec_.get(), nullptr) >= 0) {
        writeAudioPackets();
    }
}

void Encoder::close() {
    if (opened_) {
        drainCodecs();  // its writes take the lock themselves
        auto output = output_.lock();
        if (output->format) {
            av_write_trailer(output->format.get());
        }
        opened_ = 0;
    }
    audioCodec_.reset();
    videoCodec_.reset();
    videoPacket_.reset();
    audioPacket_.reset();
    videoFrame_.reset();
    videoStream_ = nullptr;
    audioStream_ = nullptr;
    audioPriming_ = 0;
    output_.lock()->format.reset();  // closes the file
}
