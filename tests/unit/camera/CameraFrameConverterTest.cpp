// Converting captured camera pictures to ARGB32. Inputs are made with FFmpeg from a known
// picture (and a few by hand), converted, and compared with that picture.
#include "camera/CameraFrameConverter.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using platform::CameraFrameConverter;
using platform::CameraPixelFormat;

constexpr int kW = 64;
constexpr int kH = 32;

struct Colour {
    uint8_t r, g, b;
};

// Eight flat bars in the top half, the same colours reversed in the bottom half, so that a
// mix-up of rows or of planes shows.
const Colour kBars[8] = {{235, 235, 235}, {230, 220, 30}, {30, 200, 220}, {40, 200, 50},
                         {200, 40, 190},  {210, 40, 40},  {40, 40, 210},  {20, 20, 20}};

Colour referenceAt(int x, int y) {
    const int bar = x / 8;
    return y < kH / 2 ? kBars[bar] : kBars[7 - bar];
}

std::vector<uint8_t> referenceBgra() {
    std::vector<uint8_t> p(kW * kH * 4);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const Colour c = referenceAt(x, y);
            uint8_t* q = &p[(y * kW + x) * 4];
            q[0] = c.b;
            q[1] = c.g;
            q[2] = c.r;
            q[3] = 255;
        }
    }
    return p;
}

// Compares away from bar edges and the middle row, where subsampled colour blurs.
void expectLooksLikeReference(const std::vector<uint8_t>& out, int tolerance, bool grey = false) {
    int bad = 0;
    for (int y = 0; y < kH; ++y) {
        if (std::abs(y - kH / 2) < 4) {
            continue;
        }
        for (int x = 0; x < kW; ++x) {
            if (x % 8 < 2 || x % 8 > 5) {
                continue;
            }
            Colour want = referenceAt(x, y);
            if (grey) {
                const auto luma =
                    static_cast<uint8_t>(0.299 * want.r + 0.587 * want.g + 0.114 * want.b + 0.5);
                want = {luma, luma, luma};
            }
            const uint8_t* q = &out[(y * kW + x) * 4];
            if (std::abs(q[0] - want.b) > tolerance || std::abs(q[1] - want.g) > tolerance ||
                std::abs(q[2] - want.r) > tolerance || q[3] != 255) {
                if (++bad <= 5) {
                    ADD_FAILURE() << "at " << x << "," << y << " got BGRA " << int(q[0]) << ","
                                  << int(q[1]) << "," << int(q[2]) << "," << int(q[3])
                                  << " want RGB " << int(want.r) << "," << int(want.g) << ","
                                  << int(want.b);
                }
            }
        }
    }
    EXPECT_EQ(bad, 0);
}

// The reference picture in `format`, laid out as a camera driver lays it out: the first plane's
// rows `bytesPerLine` apart, planes back to back (4:2:0 chroma rows half as long).
std::vector<uint8_t> makeRaw(AVPixelFormat format, int bytesPerLine) {
    const auto bgra = referenceBgra();
    std::unique_ptr<SwsContext, decltype(&sws_freeContext)> sws(
        sws_getContext(kW, kH, AV_PIX_FMT_BGRA, kW, kH, format, SWS_POINT, nullptr, nullptr,
                       nullptr),
        &sws_freeContext);
    EXPECT_NE(sws, nullptr);
    if (!sws) {
        return {};
    }
    int lineSizes[4] = {bytesPerLine, 0, 0, 0};
    int rows[4] = {kH, 0, 0, 0};
    int planes = 1;
    if (format == AV_PIX_FMT_NV12) {
        planes = 2;
        lineSizes[1] = bytesPerLine;
        rows[1] = kH / 2;
    } else if (format == AV_PIX_FMT_YUV420P) {
        planes = 3;
        lineSizes[1] = lineSizes[2] = bytesPerLine / 2;
        rows[1] = rows[2] = kH / 2;
    }
    size_t total = 0;
    for (int i = 0; i < planes; ++i) {
        total += static_cast<size_t>(lineSizes[i]) * rows[i];
    }
    std::vector<uint8_t> raw(total, 0xEE);  // padding bytes hold junk
    uint8_t* dst[4] = {raw.data(), nullptr, nullptr, nullptr};
    for (int i = 1; i < planes; ++i) {
        dst[i] = dst[i - 1] + static_cast<size_t>(lineSizes[i - 1]) * rows[i - 1];
    }
    const uint8_t* src[4] = {bgra.data(), nullptr, nullptr, nullptr};
    const int srcStride[4] = {kW * 4, 0, 0, 0};
    sws_scale(sws.get(), src, srcStride, 0, kH, dst, lineSizes);
    return raw;
}

struct RawCase {
    const char* name;
    CameraPixelFormat format;
    AVPixelFormat ffmpeg;
    int bytesPerPixel;
    int padding;  // bytes added to each first-plane row
    bool grey;
};

class RawFormats : public ::testing::TestWithParam<RawCase> {};

TEST_P(RawFormats, ConvertBackToTheReferencePicture) {
    const RawCase& c = GetParam();
    const int bytesPerLine = kW * c.bytesPerPixel + c.padding;
    const auto raw = makeRaw(c.ffmpeg, bytesPerLine);
    ASSERT_FALSE(raw.empty());
    ASSERT_EQ(CameraFrameConverter::frameBytes(c.format, kW, kH, bytesPerLine), raw.size());

    auto converter = CameraFrameConverter::create(c.format, kW, kH, c.padding ? bytesPerLine : 0);
    ASSERT_NE(converter, nullptr);
    std::vector<uint8_t> out(kW * kH * 4, 0);
    ASSERT_EQ(converter->convert(raw.data(), raw.size(), out.data()), 0);
    expectLooksLikeReference(out, 10, c.grey);

    // One byte short is refused, and nothing past the end is read (the sanitizer build
    // would see it).
    std::vector<uint8_t> shortRaw(raw.begin(), raw.end() - 1);
    std::vector<uint8_t> untouched(kW * kH * 4, 0x5A);
    EXPECT_EQ(converter->convert(shortRaw.data(), shortRaw.size(), untouched.data()),
              AVERROR(EINVAL));
    EXPECT_EQ(untouched, std::vector<uint8_t>(kW * kH * 4, 0x5A));
}

INSTANTIATE_TEST_SUITE_P(
    Camera, RawFormats,
    ::testing::Values(
        RawCase{"Yuyv", CameraPixelFormat::Yuyv, AV_PIX_FMT_YUYV422, 2, 0, false},
        RawCase{"YuyvPadded", CameraPixelFormat::Yuyv, AV_PIX_FMT_YUYV422, 2, 16, false},
        RawCase{"Uyvy", CameraPixelFormat::Uyvy, AV_PIX_FMT_UYVY422, 2, 0, false},
        RawCase{"Nv12", CameraPixelFormat::Nv12, AV_PIX_FMT_NV12, 1, 0, false},
        RawCase{"Nv12Padded", CameraPixelFormat::Nv12, AV_PIX_FMT_NV12, 1, 32, false},
        RawCase{"Yuv420", CameraPixelFormat::Yuv420, AV_PIX_FMT_YUV420P, 1, 0, false},
        RawCase{"Yuv420Padded", CameraPixelFormat::Yuv420, AV_PIX_FMT_YUV420P, 1, 32, false},
        RawCase{"Rgb24", CameraPixelFormat::Rgb24, AV_PIX_FMT_RGB24, 3, 0, false},
        RawCase{"Bgr24Padded", CameraPixelFormat::Bgr24, AV_PIX_FMT_BGR24, 3, 8, false},
        RawCase{"Grey", CameraPixelFormat::Grey, AV_PIX_FMT_GRAY8, 1, 0, true}),
    [](const ::testing::TestParamInfo<RawCase>& info) { return std::string(info.param.name); });

TEST(CameraFrameConverter, YuyvIsReadAsLimitedRangeBt601) {
    // Two pixels per YUYV group, written by hand: white, black, red, blue.
    struct Sample {
        uint8_t y, u, v;
        Colour want;
    };
    const Sample samples[] = {{235, 128, 128, {255, 255, 255}},
                              {16, 128, 128, {0, 0, 0}},
                              {81, 90, 240, {255, 0, 0}},
                              {41, 240, 110, {0, 0, 255}}};
    constexpr int w = 8;  // each sample fills two groups (four pixels)
    constexpr int h = 2;
    std::vector<uint8_t> raw;
    for (int row = 0; row < h; ++row) {
        for (int i = 0; i < w / 2; ++i) {
            const Sample& s = samples[i];
            (void)row;
            raw.insert(raw.end(), {s.y, s.u, s.y, s.v});
        }
    }
    auto converter = CameraFrameConverter::create(CameraPixelFormat::Yuyv, w, h);
    ASSERT_NE(converter, nullptr);
    std::vector<uint8_t> out(w * h * 4);
    ASSERT_EQ(converter->convert(raw.data(), raw.size(), out.data()), 0);
    for (int i = 0; i < w / 2; ++i) {
        // The left pixel of each group, whose colour is not blended with its neighbour's.
        const uint8_t* q = &out[(i * 2) * 4];
        const Colour want = samples[i].want;
        EXPECT_NEAR(q[2], want.r, 6) << "sample " << i;
        EXPECT_NEAR(q[1], want.g, 6) << "sample " << i;
        EXPECT_NEAR(q[0], want.b, 6) << "sample " << i;
    }
}

// The reference picture as one JPEG, made by FFmpeg's own encoder.
std::vector<uint8_t> makeJpeg(int width, int height, AVPixelFormat format) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (codec == nullptr) {
        ADD_FAILURE() << "no MJPEG encoder";
        return {};
    }
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> ctx(
        avcodec_alloc_context3(codec), [](AVCodecContext* c) { avcodec_free_context(&c); });
    ctx->width = width;
    ctx->height = height;
    ctx->pix_fmt = format;
    ctx->time_base = {1, 30};
    ctx->flags |= AV_CODEC_FLAG_QSCALE;
    ctx->global_quality = FF_QP2LAMBDA * 2;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) {
        ADD_FAILURE() << "cannot open the MJPEG encoder";
        return {};
    }
    std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(av_frame_alloc(),
                                                       [](AVFrame* f) { av_frame_free(&f); });
    frame->width = width;
    frame->height = height;
    frame->format = format;
    frame->quality = ctx->global_quality;
    av_frame_get_buffer(frame.get(), 0);

    // Fill from the reference (scaled when the size differs).
    const auto bgra = referenceBgra();
    std::unique_ptr<SwsContext, decltype(&sws_freeContext)> sws(
        sws_getContext(kW, kH, AV_PIX_FMT_BGRA, width, height, format, SWS_BILINEAR, nullptr,
                       nullptr, nullptr),
        &sws_freeContext);
    const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
    sws_setColorspaceDetails(sws.get(), coefficients, 1, coefficients, 1, 0, 1 << 16, 1 << 16);
    const uint8_t* src[4] = {bgra.data(), nullptr, nullptr, nullptr};
    const int srcStride[4] = {kW * 4, 0, 0, 0};
    sws_scale(sws.get(), src, srcStride, 0, kH, frame->data, frame->linesize);

    std::vector<uint8_t> jpeg;
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(av_packet_alloc(),
                                                          [](AVPacket* p) { av_packet_free(&p); });
    if (avcodec_send_frame(ctx.get(), frame.get()) == 0 &&
        avcodec_receive_packet(ctx.get(), packet.get()) == 0) {
        jpeg.assign(packet->data, packet->data + packet->size);
    }
    EXPECT_FALSE(jpeg.empty());
    return jpeg;
}

TEST(CameraFrameConverter, MjpegPicturesAreDecodedToTheReference) {
    for (AVPixelFormat format : {AV_PIX_FMT_YUVJ422P, AV_PIX_FMT_YUVJ420P}) {
        SCOPED_TRACE(av_get_pix_fmt_name(format));
        const auto jpeg = makeJpeg(kW, kH, format);
        ASSERT_FALSE(jpeg.empty());
        auto converter = CameraFrameConverter::create(CameraPixelFormat::Mjpeg, kW, kH);
        ASSERT_NE(converter, nullptr);
        std::vector<uint8_t> out(kW * kH * 4, 0);
        for (int round = 0; round < 2; ++round) {  // the decoder keeps no picture back
            ASSERT_EQ(converter->convert(jpeg.data(), jpeg.size(), out.data()), 0);
            expectLooksLikeReference(out, 14);
        }
    }
}

TEST(CameraFrameConverter, BrokenOrForeignMjpegIsRefusedAndTheNextGoodOneStillDecodes) {
    const auto jpeg = makeJpeg(kW, kH, AV_PIX_FMT_YUVJ422P);
    const auto otherSize = makeJpeg(kW * 2, kH, AV_PIX_FMT_YUVJ422P);
    ASSERT_FALSE(jpeg.empty());
    ASSERT_FALSE(otherSize.empty());
    auto converter = CameraFrameConverter::create(CameraPixelFormat::Mjpeg, kW, kH);
    ASSERT_NE(converter, nullptr);
    std::vector<uint8_t> out(kW * kH * 4, 0x5A);
    const std::vector<uint8_t> untouched = out;

    std::vector<uint8_t> garbage(4096);
    for (size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<uint8_t>(i * 131 + 7);
    }
    EXPECT_LT(converter->convert(garbage.data(), garbage.size(), out.data()), 0);
    EXPECT_LT(converter->convert(jpeg.data(), 0, out.data()), 0);
    EXPECT_LT(converter->convert(nullptr, 10, out.data()), 0);
    // Only the start-of-image marker and part of the header.
    EXPECT_LT(converter->convert(jpeg.data(), 40, out.data()), 0);
    // A picture of another size would not fit the frame.
    EXPECT_EQ(converter->convert(otherSize.data(), otherSize.size(), out.data()),
              AVERROR_INVALIDDATA);
    EXPECT_EQ(out, untouched);

    ASSERT_EQ(converter->convert(jpeg.data(), jpeg.size(), out.data()), 0);
    expectLooksLikeReference(out, 14);
}

TEST(CameraFrameConverter, SizesAndLayoutsThatCannotBeConvertedAreRefusedAtCreation) {
    EXPECT_EQ(CameraFrameConverter::create(CameraPixelFormat::Yuyv, 0, 480), nullptr);
    EXPECT_EQ(CameraFrameConverter::create(CameraPixelFormat::Yuyv, 640, -1), nullptr);
    EXPECT_EQ(CameraFrameConverter::create(CameraPixelFormat::Yuyv, 641, 480), nullptr);
    EXPECT_EQ(CameraFrameConverter::create(CameraPixelFormat::Nv12, 640, 481), nullptr);
    EXPECT_EQ(CameraFrameConverter::create(CameraPixelFormat::Yuyv, 640, 480, 1000), nullptr);
    EXPECT_EQ(CameraFrameConverter::create(CameraPixelFormat::Mjpeg, 0, 0), nullptr);
    EXPECT_NE(CameraFrameConverter::create(CameraPixelFormat::Rgb24, 641, 481), nullptr);
}

}  // namespace
