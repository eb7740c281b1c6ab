#include "SyntheticMedia.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

namespace testsupport {

std::vector<uint8_t> makeBgraPicture(int width, int height, int index) {
    std::vector<uint8_t> out(static_cast<size_t>(width) * height * 4);
    const int square = std::max(8, height / 6) & ~1;
    const int sx = (index * 6) % std::max(1, width - square) & ~1;
    const int sy = (index * 4) % std::max(1, height - square) & ~1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &out[(static_cast<size_t>(y) * width + x) * 4];
            // Ramps, a flat panel on the left third like a window's side bar, the square.
            const bool panel = x < width / 3 && y >= height / 4 && y < height * 3 / 4;
            const bool inSquare = x >= sx && x < sx + square && y >= sy && y < sy + square;
            const auto rampX = static_cast<uint8_t>(x * 255 / std::max(1, width - 1));
            const auto rampY = static_cast<uint8_t>(y * 255 / std::max(1, height - 1));
            p[0] = inSquare ? 250 : panel ? 40 : rampX;
            p[1] = inSquare ? 250 : panel ? 120 : rampY;
            p[2] = inSquare ? 30 : panel ? 200 : static_cast<uint8_t>(96 + (x + y) % 64);
            p[3] = 255;
        }
    }
    return out;
}

ToneFrames::ToneFrames(const AVCodecContext* codec, double frequency)
    : frame_(av_frame_alloc()), step_(2 * M_PI * frequency / codec->sample_rate) {
    if (!frame_) {
        throw std::runtime_error("av_frame_alloc failed");
    }
    frame_->format = codec->sample_fmt;
    frame_->sample_rate = codec->sample_rate;
    frame_->nb_samples = codec->frame_size;
    if (av_channel_layout_copy(&frame_->ch_layout, &codec->ch_layout) < 0 ||
        av_frame_get_buffer(frame_, 0) < 0) {
        av_frame_free(&frame_);
        throw std::runtime_error("audio frame allocation failed");
    }
}

ToneFrames::~ToneFrames() {
    av_frame_free(&frame_);
}

AVFrame* ToneFrames::next() {
    if (av_frame_make_writable(frame_) < 0) {
        return nullptr;
    }
    const int channels = frame_->ch_layout.nb_channels;
    const auto format = static_cast<AVSampleFormat>(frame_->format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const AVSampleFormat packed = av_get_packed_sample_fmt(format);
    if (packed != AV_SAMPLE_FMT_FLT && packed != AV_SAMPLE_FMT_S16) {
        throw std::runtime_error("sample format not supported by ToneFrames");
    }
    for (int i = 0; i < frame_->nb_samples; ++i) {
        const double v = 0.5 * std::sin(step_ * static_cast<double>(made_ + i));
        for (int c = 0; c < channels; ++c) {
            uint8_t* plane = frame_->extended_data[planar ? c : 0];
            const int at = planar ? i : i * channels + c;
            if (packed == AV_SAMPLE_FMT_FLT) {
                reinterpret_cast<float*>(plane)[at] = static_cast<float>(v);
            } else {
                reinterpret_cast<int16_t*>(plane)[at] = static_cast<int16_t>(v * 32767);
            }
        }
    }
    frame_->pts = made_;
    made_ += frame_->nb_samples;
    return frame_;
}

}  // namespace testsupport
