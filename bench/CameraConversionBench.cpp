// What one camera frame costs to turn into ARGB32, next to the plain copy every frame gets
// anyway (the peer): raw YUYV and MJPEG at the common camera sizes.
#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

#include <cstring>
#include <memory>
#include <vector>

#include "camera/CameraFrameConverter.h"

namespace {

using platform::CameraFrameConverter;
using platform::CameraPixelFormat;

// A busy picture (so that JPEG has detail to code): a diagonal pattern in BGRA.
std::vector<uint8_t> picture(int w, int h) {
    std::vector<uint8_t> p(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t* q = &p[(static_cast<size_t>(y) * w + x) * 4];
            q[0] = static_cast<uint8_t>(x * 3 + y);
            q[1] = static_cast<uint8_t>(x ^ y);
            q[2] = static_cast<uint8_t>(y * 2);
            q[3] = 255;
        }
    }
    return p;
}

std::vector<uint8_t> toFormat(const std::vector<uint8_t>& bgra, int w, int h, AVPixelFormat f,
                              int bytesPerPixel) {
    std::vector<uint8_t> out(static_cast<size_t>(w) * h * bytesPerPixel);
    SwsContext* sws =
        sws_getContext(w, h, AV_PIX_FMT_BGRA, w, h, f, SWS_POINT, nullptr, nullptr, nullptr);
    const uint8_t* src[4] = {bgra.data()};
    const int srcStride[4] = {w * 4};
    uint8_t* dst[4] = {out.data()};
    const int dstStride[4] = {w * bytesPerPixel};
    sws_scale(sws, src, srcStride, 0, h, dst, dstStride);
    sws_freeContext(sws);
    return out;
}

std::vector<uint8_t> toJpeg(const std::vector<uint8_t>& bgra, int w, int h) {
    const auto yuv = toFormat(bgra, w, h, AV_PIX_FMT_YUYV422, 2);
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->width = w;
    ctx->height = h;
    ctx->pix_fmt = AV_PIX_FMT_YUVJ422P;
    ctx->time_base = {1, 30};
    ctx->flags |= AV_CODEC_FLAG_QSCALE;
    ctx->global_quality = FF_QP2LAMBDA * 4;
    avcodec_open2(ctx, codec, nullptr);
    AVFrame* frame = av_frame_alloc();
    frame->width = w;
    frame->height = h;
    frame->format = AV_PIX_FMT_YUVJ422P;
    frame->quality = ctx->global_quality;
    av_frame_get_buffer(frame, 0);
    SwsContext* sws = sws_getContext(w, h, AV_PIX_FMT_YUYV422, w, h, AV_PIX_FMT_YUVJ422P, SWS_POINT,
                                     nullptr, nullptr, nullptr);
    const uint8_t* src[4] = {yuv.data()};
    const int srcStride[4] = {w * 2};
    sws_scale(sws, src, srcStride, 0, h, frame->data, frame->linesize);
    sws_freeContext(sws);
    AVPacket* packet = av_packet_alloc();
    std::vector<uint8_t> jpeg;
    if (avcodec_send_frame(ctx, frame) == 0 && avcodec_receive_packet(ctx, packet) == 0) {
        jpeg.assign(packet->data, packet->data + packet->size);
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
    return jpeg;
}

void BM_CopyFrame(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    const auto in = picture(w, h);
    std::vector<uint8_t> out(in.size());
    for (auto _ : state) {
        std::memcpy(out.data(), in.data(), in.size());
        benchmark::DoNotOptimize(out.data());
    }
}

void BM_ConvertYuyv(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    const auto in = toFormat(picture(w, h), w, h, AV_PIX_FMT_YUYV422, 2);
    auto converter = CameraFrameConverter::create(CameraPixelFormat::Yuyv, w, h);
    std::vector<uint8_t> out(static_cast<size_t>(w) * h * 4);
    for (auto _ : state) {
        benchmark::DoNotOptimize(converter->convert(in.data(), in.size(), out.data()));
    }
}

void BM_ConvertMjpeg(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    const auto in = toJpeg(picture(w, h), w, h);
    auto converter = CameraFrameConverter::create(CameraPixelFormat::Mjpeg, w, h);
    std::vector<uint8_t> out(static_cast<size_t>(w) * h * 4);
    for (auto _ : state) {
        if (converter->convert(in.data(), in.size(), out.data()) != 0) {
            state.SkipWithError("conversion failed");
            break;
        }
    }
}

BENCHMARK(BM_CopyFrame)->Args({640, 480})->Args({1280, 720})->Args({1920, 1080});
BENCHMARK(BM_ConvertYuyv)->Args({640, 480})->Args({1280, 720})->Args({1920, 1080});
BENCHMARK(BM_ConvertMjpeg)->Args({640, 480})->Args({1280, 720})->Args({1920, 1080});

}  // namespace

BENCHMARK_MAIN();
