#include "base/FFmpegPtr.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

void FFmpegDeleter::operator()(AVFormatContext* format) const {
    if (format->iformat != nullptr) {  // an opened input: closes its file too
        avformat_close_input(&format);
        return;
    }
    if (format->pb && format->oformat && !(format->oformat->flags & AVFMT_NOFILE)) {
        avio_closep(&format->pb);
    }
    avformat_free_context(format);
}

void FFmpegDeleter::operator()(AVCodecContext* codec) const {
    avcodec_free_context(&codec);
}

void FFmpegDeleter::operator()(AVFrame* frame) const {
    av_frame_free(&frame);
}

void FFmpegDeleter::operator()(AVPacket* packet) const {
    av_packet_free(&packet);
}

void FFmpegDeleter::operator()(SwsContext* scaler) const {
    sws_freeContext(scaler);
}

void FFmpegDeleter::operator()(SwrContext* resampler) const {
    swr_free(&resampler);
}

void FFmpegDeleter::operator()(AVFilterGraph* graph) const {
    avfilter_graph_free(&graph);
}

void FFmpegDeleter::operator()(AVDictionary* dictionary) const {
    av_dict_free(&dictionary);
}

void FFmpegDeleter::operator()(uint8_t* buffer) const {
    av_free(buffer);
}
