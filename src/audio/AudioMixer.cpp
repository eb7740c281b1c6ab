#include "audio/AudioMixer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/Log.h"

namespace {

const char* const kUnit = "AudioMixer";

// The planar sample format of a capturer's chunks, by sample width. 24-bit samples are widened
// to 32 bits before they are described (read as 16 bits they would be noise).
AVSampleFormat inputFormatFor(int bitsPerSample) {
    switch (bitsPerSample) {
        case 8:
            return AV_SAMPLE_FMT_U8P;
        case 16:
            return AV_SAMPLE_FMT_S16P;
        case 24:
        case 32:
            return AV_SAMPLE_FMT_S32P;
        case 64:
            return AV_SAMPLE_FMT_S64P;
        default:
            return AV_SAMPLE_FMT_S16P;
    }
}

}  // namespace

AudioMixer::AudioMixer() = default;

AudioMixer::~AudioMixer() {
    Release();
}

int AudioMixer::Initialize(const AVCodecContext* codec, const WaveFormat* microphone,
                           const WaveFormat* speaker) {
    SC_LOG(kUnit, "===================== Initialize audio mixer =======================");
    if (!codec || codec->frame_size <= 0 || codec->ch_layout.nb_channels <= 0) {
        // An encoder without a fixed frame size cannot take one chunk per frame.
        return AVERROR(EINVAL);
    }
    auto g = graph_.lock();
    g->graph.reset();
    *g = Graph{};
    mic_.format = microphone;
    speaker_.format = speaker;
    both_ = microphone && speaker;
    frameSize_ = codec->frame_size;
    outChannels_ = codec->ch_layout.nb_channels;
    outFormat_ = codec->sample_fmt;
    outRate_ = codec->sample_rate;

    g->graph.reset(avfilter_graph_alloc());
    if (!g->graph) {
        std::fprintf(stderr, "Unable to create filter graph.\n");
        return AVERROR(ENOMEM);
    }

    int ret = 0;
    if (microphone) {
        SC_LOG(kUnit, "Initialize microphone filter");
        ret = initSource(*g, mic_, codec, "src0", &g->micSource);
        if (ret < 0) {
            return ret;
        }
        SC_LOG(kUnit, "Succeed initialize microphone filter");
    }
    if (speaker) {
        SC_LOG(kUnit, "Initialize speaker filter");
        ret = initSource(*g, speaker_, codec, "src1", &g->speakerSource);
        if (ret < 0) {
            return ret;
        }
        SC_LOG(kUnit, "Succeed initialize speaker filter");
    }

    if (both_) {
        SC_LOG(kUnit, "Initialize amix filter");
        const AVFilter* amix = avfilter_get_by_name("amix");
        if (!amix) {
            av_log(nullptr, AV_LOG_ERROR, "Could not find the mix filter.\n");
            return AVERROR_FILTER_NOT_FOUND;
        }
        ret = avfilter_graph_create_filter(&g->mix, amix, "amix", "inputs=2", nullptr,
                                           g->graph.get());
        if (ret < 0) {
            av_log(nullptr, AV_LOG_ERROR, "Cannot create audio amix filter\n");
            return ret;
        }
        SC_LOG(kUnit, "Succeed initialize amix filter");

        SC_LOG(kUnit, "initialize volume filter");
        const AVFilter* volume = avfilter_get_by_name("volume");
        if (!volume) {
            std::fprintf(stderr, "Could not find the volume filter.\n");
            return AVERROR_FILTER_NOT_FOUND;
        }
        char args[64];
        std::snprintf(args, sizeof(args), "volume=%f", 2.5);
        ret = avfilter_graph_create_filter(&g->volume, volume, "volume", args, nullptr,
                                           g->graph.get());
        if (ret < 0) {
            av_log(nullptr, AV_LOG_ERROR, "error initializing volume filter\n");
            return ret;
        }
        SC_LOG(kUnit, "Succeed initialize volume filter");
    }

    SC_LOG(kUnit, "Initialize sink filter");
    const AVFilter* abuffersink = avfilter_get_by_name("abuffersink");
    if (!abuffersink) {
        av_log(nullptr, AV_LOG_ERROR, "Could not find the abuffersink filter.\n");
        return AVERROR_FILTER_NOT_FOUND;
    }
    g->sink = avfilter_graph_alloc_filter(g->graph.get(), abuffersink, "sink");
    if (!g->sink) {
        av_log(nullptr, AV_LOG_ERROR, "Could not allocate the abuffersink instance.\n");
        return AVERROR(ENOMEM);
    }
    ret = avfilter_init_str(g->sink, nullptr);
    if (ret < 0) {
        std::fprintf(stderr, "Could not initialize the abuffersink instance.\n");
        return ret;
    }
    const int sampleFormats[] = {codec->sample_fmt, -1};
    ret = av_opt_set_int_list(g->sink, "sample_fmts", sampleFormats, -1, AV_OPT_SEARCH_CHILDREN);
    if (ret < 0) {
        av_log(nullptr, AV_LOG_ERROR, "Cannot set output sample format\n");
        return ret;
    }
    char layout[64] = {};
    av_channel_layout_describe(&codec->ch_layout, layout, sizeof(layout));
    ret = av_opt_set(g->sink, "ch_layouts", layout, AV_OPT_SEARCH_CHILDREN);
    if (ret < 0) {
        av_log(nullptr, AV_LOG_ERROR, "Cannot set output channel layout\n");
        return ret;
    }
    const int sampleRates[] = {codec->sample_rate, -1};
    ret = av_opt_set_int_list(g->sink, "sample_rates", sampleRates, -1, AV_OPT_SEARCH_CHILDREN);
    if (ret < 0) {
        av_log(nullptr, AV_LOG_ERROR, "Cannot set output sample rate\n");
        return ret;
    }
    SC_LOG(kUnit, "Succeed initialize sink filter");

    SC_LOG(kUnit, "link filters");
    if (both_) {
        ret = avfilter_link(g->micSource, 0, g->mix, 0);
        if (ret >= 0) {
            ret = avfilter_link(g->speakerSource, 0, g->mix, 1);
        }
        if (ret >= 0) {
            ret = avfilter_link(g->mix, 0, g->volume, 0);
        }
        if (ret >= 0) {
            ret = avfilter_link(g->volume, 0, g->sink, 0);
        }
    } else if (g->micSource || g->speakerSource) {
        ret = avfilter_link(g->micSource ? g->micSource : g->speakerSource, 0, g->sink, 0);
    } else {
        ret = AVERROR(EINVAL);  // nothing to mix
    }
    if (ret < 0) {
        av_log(nullptr, AV_LOG_ERROR, "Error connecting filters\n");
        return ret;
    }
    SC_LOG(kUnit, "Succeed link filters");

    SC_LOG(kUnit, "Configure filter graph");
    ret = avfilter_graph_config(g->graph.get(), nullptr);
    if (ret < 0) {
        SC_LOG(kUnit, "Error configure filter graph");
        char text[255] = {};
        av_strerror(ret, text, sizeof(text));
        av_log(nullptr, AV_LOG_ERROR, "Error while configuring graph : %s\n", text);
        return ret;
    }
    SC_LOG(kUnit, "Succeed Configure filter graph");
    if (char* dump = avfilter_graph_dump(g->graph.get(), nullptr)) {
        av_log(nullptr, AV_LOG_ERROR, "Graph :\n%s\n", dump);
        av_free(dump);
    }
    for (Source* s : {&mic_, &speaker_}) {
        s->pushedSamples = 0;
        s->outputSamples = 0;
        s->converted = 0;
        s->inputFrames = 0;
        s->steering = false;
    }
    pulledSamples_ = 0;
    SC_LOG(kUnit, "===================== Succeed Initialize audio mixer =======================");
    return 0;
}

int AudioMixer::initSource(Graph& g, Source& s, const AVCodecContext* codec, const char* name,
                           AVFilterContext** filter) {
    const WaveFormat& f = *s.format;
    s.inputFormat = inputFormatFor(f.bitsPerSample);
    s.outputFill = 0;
    s.input.reset(av_frame_alloc());
    s.output.reset(av_frame_alloc());
    if (!s.input || !s.output || f.channels == 0 || f.samplesPerSec == 0) {
        return AVERROR(ENOMEM);
    }

    const AVFilter* abuffer = avfilter_get_by_name("abuffer");
    if (!abuffer) {
        std::fprintf(stderr, "Could not find the abuffer filter.\n");
        return AVERROR_FILTER_NOT_FOUND;
    }
    *filter = avfilter_graph_alloc_filter(g.graph.get(), abuffer, name);
    if (!*filter) {
        std::fprintf(stderr, "Could not allocate the abuffer instance.\n");
        return AVERROR(ENOMEM);
    }
    // The source takes frames already converted to the encoder's format.
    char layout[64] = {};
    av_channel_layout_describe(&codec->ch_layout, layout, sizeof(layout));
    av_opt_set(*filter, "channel_layout", layout, AV_OPT_SEARCH_CHILDREN);
    av_opt_set(*filter, "sample_fmt", av_get_sample_fmt_name(codec->sample_fmt),
               AV_OPT_SEARCH_CHILDREN);
    av_opt_set_q(*filter, "time_base", AVRational{1, codec->sample_rate}, AV_OPT_SEARCH_CHILDREN);
    av_opt_set_int(*filter, "sample_rate", codec->sample_rate, AV_OPT_SEARCH_CHILDREN);
    int ret = avfilter_init_str(*filter, nullptr);
    if (ret < 0) {
        std::fprintf(stderr, "Could not initialize the abuffer filter.\n");
        return ret;
    }

    AVChannelLayout inLayout{};
    av_channel_layout_default(&inLayout, f.channels);
    SwrContext* swr = swr_alloc();
    s.resampler.reset(swr);
    if (!swr) {
        av_channel_layout_uninit(&inLayout);
        return AVERROR(ENOMEM);
    }
    av_opt_set_chlayout(swr, "in_chlayout", &inLayout, 0);
    av_opt_set_int(swr, "in_sample_rate", f.samplesPerSec, 0);
    av_opt_set_sample_fmt(swr, "in_sample_fmt", static_cast<AVSampleFormat>(s.inputFormat), 0);
    av_opt_set_chlayout(swr, "out_chlayout", &codec->ch_layout, 0);
    av_opt_set_int(swr, "out_sample_rate", codec->sample_rate, 0);
    av_opt_set_sample_fmt(swr, "out_sample_fmt", codec->sample_fmt, 0);
    av_channel_layout_uninit(&inLayout);
    // A resampler that did not initialise would hand out frames of nothing but old samples.
    ret = swr_init(swr);
    if (ret < 0) {
        return ret;
    }

    AVFrame* out = s.output.get();
    out->nb_samples = frameSize_;
    out->format = codec->sample_fmt;
    out->sample_rate = codec->sample_rate;
    ret = av_channel_layout_copy(&out->ch_layout, &codec->ch_layout);
    if (ret < 0) {
        return ret;
    }
    const int size =
        av_samples_get_buffer_size(nullptr, outChannels_, frameSize_, codec->sample_fmt, 1);
    if (size < 0) {
        return size;
    }
    s.outputBuffer.reset(static_cast<uint8_t*>(av_mallocz(static_cast<size_t>(size))));
    if (!s.outputBuffer) {
        return AVERROR(ENOMEM);
    }
    return avcodec_fill_audio_frame(out, outChannels_, codec->sample_fmt, s.outputBuffer.get(),
                                    size, 1);
}

int AudioMixer::FeedMicrophone(const uint8_t* planar, int32_t bytes, const DriftCorrection& drift) {
    return feed(mic_, &Graph::micSource, planar, bytes, drift);
}

int AudioMixer::FeedSpeaker(const uint8_t* planar, int32_t bytes, const DriftCorrection& drift) {
    return feed(speaker_, &Graph::speakerSource, planar, bytes, drift);
}

// Output samples converted, and those the resampler holds (a whole frame's worth can wait there
// for the next chunk).
double AudioMixer::outputSoFar(const Source& s) const {
    constexpr int64_t kFine = 1000;  // the delay in thousandths of a sample
    return static_cast<double>(s.converted) +
           static_cast<double>(swr_get_delay(s.resampler.get(), outRate_ * kFine)) / kFine;
}

// Sets the resampler's rate so that the source's converted samples reach where the correction
// says by the end of this chunk's sound, and what is still owed is caught up over
// kCatchUpSeconds, within kMaxCorrection. The counts say what the resampler has added so far,
// so nothing it rounds away is lost.
void AudioMixer::steer(Source& s, const DriftCorrection& drift, int frames) {
    if (!drift.known) {
        return;
    }
    const double inRate = s.format->samplesPerSec;
    const double added = outputSoFar(s) * inRate / outRate_ - static_cast<double>(s.inputFrames);
    const double owed = drift.total - (added + drift.perFrame * frames);
    const double rate = std::clamp(drift.perFrame + owed / (kCatchUpSeconds * inRate),
                                   -kMaxCorrection, kMaxCorrection);
    // Set again for every chunk, so it never runs out; the long distance keeps it fine-grained.
    const int distance = kCatchUpSeconds * outRate_;
    const int delta = static_cast<int>(std::lround(rate * distance));
    if (delta == 0 && !s.steering) {
        return;  // a device in step keeps the plain conversion
    }
    // At equal rates this turns resampling on; its filter passes the samples through unchanged
    // until the rate moves, so the switch makes no click.
    s.steering = swr_set_compensation(s.resampler.get(), delta, distance) >= 0;
}

int AudioMixer::feed(Source& s, AVFilterContext* Graph::*source, const uint8_t* planar,
                     int32_t bytes, const DriftCorrection& drift) {
    if (!s.format || !s.resampler || !s.output || !planar || bytes <= 0) {
        return -1;
    }
    const WaveFormat& f = *s.format;
    const auto inFormat = static_cast<AVSampleFormat>(s.inputFormat);
    const uint8_t* data = planar;
    int32_t size = bytes;
    if (f.bitsPerSample == 24) {
        // Planar 24-bit samples to planar 32-bit, value in the top three bytes.
        const int32_t samples = bytes / 3;
        s.widened.assign(static_cast<size_t>(samples) * 4, 0);
        for (int32_t i = 0; i < samples; ++i) {
            s.widened[4 * i + 1] = planar[3 * i];
            s.widened[4 * i + 2] = planar[3 * i + 1];
            s.widened[4 * i + 3] = planar[3 * i + 2];
        }
        data = s.widened.data();
        size = samples * 4;
    }

    AVFrame* in = s.input.get();
    in->nb_samples = frameSize_;
    in->format = inFormat;
    in->sample_rate = static_cast<int>(f.samplesPerSec);
    av_channel_layout_uninit(&in->ch_layout);
    av_channel_layout_default(&in->ch_layout, f.channels);
    int ret = avcodec_fill_audio_frame(in, f.channels, inFormat, data, size, 1);
    if (ret < 0) {
        av_frame_unref(in);
        return -1;
    }

    // Converted samples land after those already waiting in the output frame, so every frame
    // pushed is whole: a frame is pushed only once it holds frameSize samples.
    AVFrame* out = s.output.get();
    const bool planarOut = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(outFormat_)) != 0;
    const int bytesPerSample = av_get_bytes_per_sample(static_cast<AVSampleFormat>(outFormat_));
    const int planes = planarOut ? outChannels_ : 1;
    const int stride = planarOut ? bytesPerSample : bytesPerSample * outChannels_;
    std::vector<uint8_t*> at(static_cast<size_t>(planes));
    auto convert = [&](const uint8_t** input, int inSamples) {
        for (int p = 0; p < planes; ++p) {
            at[static_cast<size_t>(p)] = out->extended_data[p] + s.outputFill * stride;
        }
        return swr_convert(s.resampler.get(), at.data(), frameSize_ - s.outputFill, input,
                           inSamples);
    };

    steer(s, drift, in->nb_samples);
    int got = convert(const_cast<const uint8_t**>(in->extended_data), in->nb_samples);
    s.inputFrames += static_cast<uint64_t>(in->nb_samples);
    av_frame_unref(in);
    if (got < 0) {
        return -1;
    }
    s.converted += static_cast<uint64_t>(got);
    s.outputFill += got;
    if (s.outputFill >= frameSize_) {
        s.outputFill = 0;
        if (push(s, source) < 0) {
            return -1;
        }
    }

    // Samples the resampler still holds: whole frames of them go out now. A non-null input of
    // no samples drains what is buffered without ending the stream.
    const uint8_t* noSamples[AV_NUM_DATA_POINTERS] = {data};
    int remaining = swr_get_out_samples(s.resampler.get(), 0);
    while (s.outputFill + remaining >= frameSize_) {
        got = convert(noSamples, 0);
        if (got < 1) {
            break;
        }
        s.converted += static_cast<uint64_t>(got);
        s.outputFill += got;
        remaining -= got;
        if (s.outputFill >= frameSize_) {
            s.outputFill = 0;
            if (push(s, source) < 0) {
                return -1;
            }
        }
    }
    s.outputSamples = static_cast<uint64_t>(std::llround(outputSoFar(s)));
    return 0;
}

int AudioMixer::push(Source& s, AVFilterContext* Graph::*source) {
    // The graph gets its own reference-counted copy; the output frame stays ours to fill again.
    const AVFrame* out = s.output.get();
    FFmpegPtr<AVFrame> frame(av_frame_alloc());
    int ret = frame ? 0 : AVERROR(ENOMEM);
    if (ret >= 0) {
        frame->nb_samples = out->nb_samples;
        frame->format = out->format;
        frame->sample_rate = out->sample_rate;
        ret = av_channel_layout_copy(&frame->ch_layout, &out->ch_layout);
    }
    if (ret >= 0) {
        ret = av_frame_get_buffer(frame.get(), 0);
    }
    if (ret >= 0) {
        ret = av_samples_copy(frame->extended_data, out->extended_data, 0, 0, out->nb_samples,
                              outChannels_, static_cast<AVSampleFormat>(outFormat_));
    }
    if (ret >= 0) {
        auto g = graph_.lock();
        AVFilterContext* filter = (*g).*source;
        ret = filter ? av_buffersrc_add_frame(filter, frame.get()) : AVERROR(EINVAL);
    }
    if (ret < 0) {
        av_log(nullptr, AV_LOG_ERROR, "Error while feeding the audio filtergraph\n");
        return -1;
    }
    s.pushedSamples += static_cast<uint64_t>(out->nb_samples);
    return 0;
}

int AudioMixer::PullFrame(AVFrame* frame) {
    auto g = graph_.lock();
    if (!g->sink) {
        return AVERROR(EINVAL);
    }
    const int ret = av_buffersink_get_frame(g->sink, frame);
    if (ret >= 0) {
        pulledSamples_ += static_cast<uint64_t>(frame->nb_samples);
    }
    return ret;
}

void AudioMixer::Release() {
    {
        auto g = graph_.lock();
        g->graph.reset();
        *g = Graph{};
    }
    for (Source* s : {&mic_, &speaker_}) {
        s->input.reset();
        s->output.reset();
        s->outputBuffer.reset();
        s->resampler.reset();
        s->format = nullptr;
        s->outputFill = 0;
    }
}

// Samples pushed that the sink can hand out: with two sources, amix mixes only as far as the
// fewer pushed reach.
uint64_t AudioMixer::pushedToSink() const {
    if (both_) {
        return std::min(mic_.pushedSamples.load(), speaker_.pushedSamples.load());
    }
    return mic_.format ? mic_.pushedSamples.load() : speaker_.pushedSamples.load();
}

uint32_t AudioMixer::inFrames(uint64_t samples) const {
    return frameSize_ > 0 ? static_cast<uint32_t>(samples / static_cast<uint64_t>(frameSize_)) : 0;
}

bool AudioMixer::IsDrained() const {
    const uint64_t pulled = pulledSamples_.load();
    return pushedToSink() <= pulled;
}

int32_t AudioMixer::Backlog() const {
    const uint64_t pulled = pulledSamples_.load();
    // Counters read one after the other may pass each other; the difference stays signed.
    const int64_t samples = static_cast<int64_t>(pushedToSink()) - static_cast<int64_t>(pulled);
    return frameSize_ > 0 ? static_cast<int32_t>(samples / frameSize_) : 0;
}

int32_t AudioMixer::Skew() const {
    if (!both_ || frameSize_ <= 0) {
        return 0;
    }
    const int64_t samples = static_cast<int64_t>(mic_.pushedSamples.load()) -
                            static_cast<int64_t>(speaker_.pushedSamples.load());
    return static_cast<int32_t>(samples / frameSize_);
}

const AVFilterGraph* AudioMixer::graph() {
    return graph_.lock()->graph.get();
}
