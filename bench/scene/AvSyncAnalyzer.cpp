#include "AvSyncAnalyzer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "base/FFmpegPtr.h"

namespace {

std::string errorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// A brightness (video frame) or a peak (stretch of sound) at a time in seconds.
struct Level {
    double time;
    double value;
};

bool fullRangeLuma(const AVFrame* f, const AVPixFmtDescriptor* desc) {
    switch (f->format) {
        case AV_PIX_FMT_YUVJ420P:
        case AV_PIX_FMT_YUVJ422P:
        case AV_PIX_FMT_YUVJ444P:
        case AV_PIX_FMT_YUVJ440P:
        case AV_PIX_FMT_YUVJ411P:
            return true;
        default:
            break;
    }
    if (f->color_range == AVCOL_RANGE_JPEG) {
        return true;
    }
    // Grey pictures are full range unless they say otherwise.
    return desc->nb_components < 3 && f->color_range != AVCOL_RANGE_MPEG;
}

// Mean brightness (0..1) of the centre square of each picture.
class CentreMeter {
public:
    explicit CentreMeter(double fraction) : fraction_(fraction) {}

    double measure(const AVFrame* f) {
        const int shorter = std::min(f->width, f->height);
        const int side = std::clamp(static_cast<int>(shorter * fraction_), 1, shorter);
        const int x0 = f->width / 2 - side / 2;
        const int y0 = f->height / 2 - side / 2;
        const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(f->format));
        if (desc == nullptr) {
            return 0.0;
        }
        const bool lumaPlane = (desc->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL)) == 0 &&
                               desc->nb_components >= 1 && desc->comp[0].plane == 0 &&
                               desc->comp[0].depth == 8 && desc->comp[0].step == 1 &&
                               desc->comp[0].offset == 0;
        double sum = 0.0;
        if (lumaPlane) {
            // Planar YUV or grey: the first plane is the brightness itself.
            for (int y = y0; y < y0 + side; ++y) {
                const uint8_t* row = f->data[0] + static_cast<ptrdiff_t>(y) * f->linesize[0];
                for (int x = x0; x < x0 + side; ++x) {
                    sum += row[x];
                }
            }
            const double mean = sum / (static_cast<double>(side) * side);
            return fullRangeLuma(f, desc) ? mean / 255.0 : (mean - 16.0) / 219.0;
        }
        // Anything else goes through a conversion to BGRA.
        toBgra_.reset(sws_getCachedContext(
            toBgra_.release(), f->width, f->height, static_cast<AVPixelFormat>(f->format), f->width,
            f->height, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr));
        if (!toBgra_) {
            return 0.0;
        }
        bgra_.resize(static_cast<size_t>(f->width) * f->height * 4);
        uint8_t* planes[1] = {bgra_.data()};
        const int lineSizes[1] = {f->width * 4};
        sws_scale(toBgra_.get(), f->data, f->linesize, 0, f->height, planes, lineSizes);
        for (int y = y0; y < y0 + side; ++y) {
            const uint8_t* p = bgra_.data() + (static_cast<size_t>(y) * f->width + x0) * 4;
            for (int x = 0; x < side; ++x, p += 4) {
                sum += 0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2];
            }
        }
        return sum / (static_cast<double>(side) * side) / 255.0;
    }

private:
    const double fraction_;
    FFmpegPtr<SwsContext> toBgra_;
    std::vector<uint8_t> bgra_;
};

// The loudest sample (over all channels) of each half millisecond of sound.
class PeakMeter {
public:
    // Returns false when the frame's format cannot be converted.
    bool take(const AVFrame* f, double start, std::vector<Level>& windows) {
        if (f->nb_samples <= 0 || f->sample_rate <= 0) {
            return true;
        }
        const int channels = f->ch_layout.nb_channels;
        if (!toFloat_ || f->format != format_ || f->sample_rate != rate_ || channels != channels_) {
            // Same layout and rate on both sides: only the sample format changes.
            AVChannelLayout layout{};
            if (av_channel_layout_copy(&layout, &f->ch_layout) < 0) {
                return false;
            }
            SwrContext* raw = nullptr;
            const int made = swr_alloc_set_opts2(&raw, &layout, AV_SAMPLE_FMT_FLT, f->sample_rate,
                                                 &layout, static_cast<AVSampleFormat>(f->format),
                                                 f->sample_rate, 0, nullptr);
            av_channel_layout_uninit(&layout);
            if (made < 0) {
                swr_free(&raw);
                return false;
            }
            toFloat_.reset(raw);
            if (swr_init(toFloat_.get()) < 0) {
                toFloat_.reset();
                return false;
            }
            format_ = f->format;
            rate_ = f->sample_rate;
            channels_ = channels;
            windowSamples_ = std::max(1, rate_ / 2000);
            count_ = 0;
        }
        samples_.resize(static_cast<size_t>(f->nb_samples) * channels);
        uint8_t* out[1] = {reinterpret_cast<uint8_t*>(samples_.data())};
        const int got = swr_convert(toFloat_.get(), out, f->nb_samples,
                                    const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
        if (got < 0) {
            return false;
        }
        // A frame that does not continue the previous one closes the window under way.
        if (count_ > 0 && std::fabs(start - nextTime_) * rate_ > 1.0) {
            windows.push_back({windowStart_, peak_});
            count_ = 0;
        }
        for (int i = 0; i < got; ++i) {
            if (count_ == 0) {
                windowStart_ = start + static_cast<double>(i) / rate_;
                peak_ = 0.0;
            }
            for (int c = 0; c < channels; ++c) {
                peak_ = std::max(peak_, static_cast<double>(std::fabs(
                                            samples_[static_cast<size_t>(i) * channels + c])));
            }
            if (++count_ == windowSamples_) {
                windows.push_back({windowStart_, peak_});
                count_ = 0;
            }
        }
        nextTime_ = start + static_cast<double>(got) / rate_;
        seconds_ += static_cast<double>(got) / rate_;
        return true;
    }

    double seconds() const { return seconds_; }

private:
    FFmpegPtr<SwrContext> toFloat_;
    int format_ = -1;
    int rate_ = 0;
    int channels_ = 0;
    int windowSamples_ = 1;
    std::vector<float> samples_;
    int count_ = 0;
    double windowStart_ = 0.0;
    double peak_ = 0.0;
    double nextTime_ = 0.0;
    double seconds_ = 0.0;
};

std::vector<double> findFlashes(const std::vector<Level>& frames, double level, double minGap) {
    std::vector<double> flashes;
    // A file that starts inside a flash does not show where that flash began.
    bool wasLit = true;
    for (const Level& f : frames) {
        const bool lit = f.value >= level;
        if (lit && !wasLit && (flashes.empty() || f.time - flashes.back() >= minGap)) {
            flashes.push_back(f.time);
        }
        wasLit = lit;
    }
    return flashes;
}

std::vector<double> findClicks(const std::vector<Level>& windows, double level, double silence,
                               double minGap) {
    std::vector<double> clicks;
    bool quiet = false;
    double quietSince = 0.0;
    for (const Level& w : windows) {
        if (w.value < level) {
            if (!quiet) {
                quiet = true;
                quietSince = w.time;
            }
            continue;
        }
        if (quiet && w.time - quietSince >= silence &&
            (clicks.empty() || w.time - clicks.back() >= minGap)) {
            clicks.push_back(w.time);
        }
        quiet = false;
    }
    return clicks;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

struct Decoder {
    int stream = -1;
    AVRational timeBase{0, 1};
    FFmpegPtr<AVCodecContext> codec;
};

int openDecoder(AVFormatContext* format, AVMediaType type, Decoder& d) {
    const int index = av_find_best_stream(format, type, -1, -1, nullptr, 0);
    if (index < 0) {
        return index;
    }
    const AVStream* st = format->streams[index];
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (codec == nullptr) {
        return AVERROR_DECODER_NOT_FOUND;
    }
    d.codec.reset(avcodec_alloc_context3(codec));
    if (!d.codec) {
        return AVERROR(ENOMEM);
    }
    int ret = avcodec_parameters_to_context(d.codec.get(), st->codecpar);
    if (ret >= 0) {
        d.codec->pkt_timebase = st->time_base;
        ret = avcodec_open2(d.codec.get(), codec, nullptr);
    }
    if (ret < 0) {
        d.codec.reset();
        return ret;
    }
    d.stream = index;
    d.timeBase = st->time_base;
    return 0;
}

}  // namespace

SyncReport AvSyncAnalyzer::analyze(const std::string& path) const {
    SyncReport report;
    AVFormatContext* raw = nullptr;
    int ret = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    FFmpegPtr<AVFormatContext> format(raw);
    if (ret >= 0) {
        ret = avformat_find_stream_info(format.get(), nullptr);
    }
    if (ret < 0) {
        report.error = ret;
        report.errorText = "cannot read " + path + ": " + errorText(ret);
        return report;
    }
    const double fileStart = format->start_time == AV_NOPTS_VALUE
                                 ? 0.0
                                 : static_cast<double>(format->start_time) / AV_TIME_BASE;

    Decoder video;
    Decoder audio;
    const int videoRet = openDecoder(format.get(), AVMEDIA_TYPE_VIDEO, video);
    const int audioRet = openDecoder(format.get(), AVMEDIA_TYPE_AUDIO, audio);
    if (videoRet < 0 || audioRet < 0) {
        report.error = -1;
        report.errorText = videoRet < 0 ? "no video stream to decode" : "no audio stream to decode";
    }

    CentreMeter centre(settings_.regionFraction);
    PeakMeter peaks;
    std::vector<Level> frames;
    std::vector<Level> windows;
    double audioNext = 0.0;  // where sound without a timestamp goes

    FFmpegPtr<AVPacket> packet(av_packet_alloc());
    FFmpegPtr<AVFrame> frame(av_frame_alloc());
    if (!packet || !frame) {
        report.error = AVERROR(ENOMEM);
        report.errorText = "out of memory";
        return report;
    }
    auto drain = [&](Decoder& d) {
        while (avcodec_receive_frame(d.codec.get(), frame.get()) >= 0) {
            const int64_t pts = frame->best_effort_timestamp;
            const bool timed = pts != AV_NOPTS_VALUE;
            const double t = timed ? pts * av_q2d(d.timeBase) - fileStart : audioNext;
            if (&d == &video) {
                if (timed) {
                    frames.push_back({t, centre.measure(frame.get())});
                }
            } else {
                if (!peaks.take(frame.get(), t, windows) && report.error == 0) {
                    report.error = AVERROR(EINVAL);
                    report.errorText = "sound in a format that cannot be converted";
                }
                audioNext =
                    t + static_cast<double>(frame->nb_samples) / std::max(1, frame->sample_rate);
            }
            av_frame_unref(frame.get());
        }
    };

    while ((ret = av_read_frame(format.get(), packet.get())) >= 0) {
        Decoder* d = packet->stream_index == video.stream   ? &video
                     : packet->stream_index == audio.stream ? &audio
                                                            : nullptr;
        // A damaged packet is skipped; the decoder picks up at the next one.
        if (d != nullptr && d->codec && avcodec_send_packet(d->codec.get(), packet.get()) >= 0) {
            drain(*d);
        }
        av_packet_unref(packet.get());
    }
    if (ret != AVERROR_EOF && report.error == 0) {
        report.error = ret;
        report.errorText = "reading stopped early: " + errorText(ret);
    }
    for (Decoder* d : {&video, &audio}) {
        if (d->codec && avcodec_send_packet(d->codec.get(), nullptr) >= 0) {
            drain(*d);
        }
    }

    // Decoders with frame threads may hand pictures out of order.
    std::sort(frames.begin(), frames.end(),
              [](const Level& a, const Level& b) { return a.time < b.time; });
    report.videoFrames = static_cast<int64_t>(frames.size());
    if (frames.size() >= 2) {
        report.frameDurationMs =
            (frames.back().time - frames.front().time) * 1000.0 / (frames.size() - 1);
    }
    if (!frames.empty()) {
        report.videoSeconds =
            frames.back().time - frames.front().time + report.frameDurationMs / 1000.0;
    }
    report.audioSeconds = peaks.seconds();

    double loudest = 0.0;
    for (const Level& w : windows) {
        loudest = std::max(loudest, w.value);
    }
    report.clickLevel = std::max(settings_.minClickLevel, settings_.clickFraction * loudest);
    const double minGap = settings_.minGapMs / 1000.0;
    report.flashes = findFlashes(frames, settings_.flashLevel, minGap);
    report.clicks = findClicks(windows, report.clickLevel, settings_.silenceMs / 1000.0, minGap);
    pairEvents(report, settings_.pairWindowMs);
    return report;
}

void AvSyncAnalyzer::pairEvents(SyncReport& report, double pairWindowMs) {
    report.pairs.clear();
    report.unpairedFlashes.clear();
    report.unpairedClicks.clear();
    std::vector<double> flashes = report.flashes;
    std::vector<double> clicks = report.clicks;
    std::sort(flashes.begin(), flashes.end());
    std::sort(clicks.begin(), clicks.end());
    const double window = pairWindowMs / 1000.0;

    // The first expectation: the median offset to the nearest click over the first flashes,
    // so one stray event at the start does not set it.
    std::vector<double> nearest;
    for (size_t i = 0; i < flashes.size() && nearest.size() < 9; ++i) {
        double best = std::numeric_limits<double>::infinity();
        for (double c : clicks) {
            if (std::fabs(c - flashes[i]) < std::fabs(best)) {
                best = c - flashes[i];
            }
        }
        if (std::fabs(best) <= window) {
            nearest.push_back(best);
        }
    }
    double expected = nearest.empty() ? 0.0 : median(nearest);

    std::vector<bool> used(clicks.size(), false);
    for (double f : flashes) {
        size_t best = clicks.size();
        double bestDistance = window;
        for (size_t i = 0; i < clicks.size(); ++i) {
            const double distance = std::fabs(clicks[i] - f - expected);
            if (!used[i] && distance <= bestDistance) {
                best = i;
                bestDistance = distance;
            }
        }
        if (best == clicks.size()) {
            report.unpairedFlashes.push_back(f);
            continue;
        }
        used[best] = true;
        report.pairs.push_back({f, clicks[best]});
        expected = clicks[best] - f;
    }
    for (size_t i = 0; i < clicks.size(); ++i) {
        if (!used[i]) {
            report.unpairedClicks.push_back(clicks[i]);
        }
    }

    report.meanOffsetMs = report.minOffsetMs = report.maxOffsetMs = 0.0;
    report.stddevOffsetMs = report.driftMsPerMinute = report.driftOverSpanMs = 0.0;
    const size_t n = report.pairs.size();
    if (n == 0) {
        return;
    }
    double sumT = 0.0;
    double sumO = 0.0;
    report.minOffsetMs = std::numeric_limits<double>::infinity();
    report.maxOffsetMs = -std::numeric_limits<double>::infinity();
    for (const SyncPair& p : report.pairs) {
        sumT += p.flash;
        sumO += p.offsetMs();
        report.minOffsetMs = std::min(report.minOffsetMs, p.offsetMs());
        report.maxOffsetMs = std::max(report.maxOffsetMs, p.offsetMs());
    }
    const double meanT = sumT / n;
    report.meanOffsetMs = sumO / n;
    double sxx = 0.0;
    double sxy = 0.0;
    double syy = 0.0;
    for (const SyncPair& p : report.pairs) {
        const double dt = p.flash - meanT;
        const double dO = p.offsetMs() - report.meanOffsetMs;
        sxx += dt * dt;
        sxy += dt * dO;
        syy += dO * dO;
    }
    report.stddevOffsetMs = std::sqrt(syy / n);
    if (n >= 2 && sxx > 0.0) {
        const double msPerSecond = sxy / sxx;
        report.driftMsPerMinute = msPerSecond * 60.0;
        report.driftOverSpanMs =
            msPerSecond * (report.pairs.back().flash - report.pairs.front().flash);
    }
}
