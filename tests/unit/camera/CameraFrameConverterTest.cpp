// Converting captured camera pictures to ARGB32. Inputs are made from a known picture (with
// FFmpeg's scaler, or as JPEG files), converted, and compared with that picture.
#include "camera/CameraFrameConverter.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>

extern "C" {
#include <libavutil/error.h>
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

// Eight flat bars in the top half, the same colours reversed in the bottom half, so that a
// mix-up of rows, planes or colours shows. Packed R, G, B.
std::vector<uint8_t> referenceRgb(int width = kW) {
    static const uint8_t bars[8][3] = {{235, 235, 235}, {230, 220, 30}, {30, 200, 220},
                                       {40, 200, 50},   {200, 40, 190}, {210, 40, 40},
                                       {40, 40, 210},   {20, 20, 20}};
    std::vector<uint8_t> p;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < width; ++x) {
            const int bar = x * 8 / width;
            p.insert(p.end(), bars[y < kH / 2 ? bar : 7 - bar],
                     bars[y < kH / 2 ? bar : 7 - bar] + 3);
        }
    }
    return p;
}

// Compares BGRA output with the reference away from bar edges and the middle rows, where
// subsampled colour blurs; a grey camera is compared with the reference's luma.
void expectLooksLikeReference(const std::vector<uint8_t>& out, int tolerance, bool grey = false) {
    const std::vector<uint8_t> ref = referenceRgb();
    int bad = 0;
    for (int i = 0; i < kW * kH; ++i) {
        const int x = i % kW, y = i / kW;
        if (std::abs(y - kH / 2) < 4 || x % 8 < 2 || x % 8 > 5) {
            continue;
        }
        const uint8_t* want = &ref[i * 3];
        const int luma =
            static_cast<int>(0.299 * want[0] + 0.587 * want[1] + 0.114 * want[2] + 0.5);
        bool ok = out[i * 4 + 3] == 255;
        for (int c = 0; c < 3; ++c) {
            ok = ok && std::abs(out[i * 4 + 2 - c] - (grey ? luma : want[c])) <= tolerance;
        }
        if (!ok && ++bad <= 5) {
            ADD_FAILURE() << "at " << x << "," << y << " got BGR " << int{out[i * 4]} << ","
                          << int{out[i * 4 + 1]} << "," << int{out[i * 4 + 2]};
        }
    }
    EXPECT_EQ(bad, 0);
}

// The reference picture in `format`, laid out as a camera driver lays it out: the first plane's
// rows `bytesPerLine` apart, planes back to back (4:2:0 chroma rows half as long), padding junk.
std::vector<uint8_t> makeRaw(AVPixelFormat format, int bytesPerLine) {
    const auto rgb = referenceRgb();
    std::unique_ptr<SwsContext, decltype(&sws_freeContext)> sws(
        sws_getContext(kW, kH, AV_PIX_FMT_RGB24, kW, kH, format, SWS_POINT, nullptr, nullptr,
                       nullptr),
        &sws_freeContext);
    int lineSizes[4] = {bytesPerLine, 0, 0, 0};
    int rows[4] = {kH, 0, 0, 0};
    if (format == AV_PIX_FMT_NV12) {
        lineSizes[1] = bytesPerLine;
        rows[1] = kH / 2;
    } else if (format == AV_PIX_FMT_YUV420P) {
        lineSizes[1] = lineSizes[2] = bytesPerLine / 2;
        rows[1] = rows[2] = kH / 2;
    }
    std::vector<uint8_t> raw(static_cast<size_t>(lineSizes[0] * rows[0] + lineSizes[1] * rows[1] +
                                                 lineSizes[2] * rows[2]),
                             0xEE);
    uint8_t* dst[4] = {raw.data(), nullptr, nullptr, nullptr};
    for (int i = 1; i < 3; ++i) {
        dst[i] = dst[i - 1] + static_cast<size_t>(lineSizes[i - 1]) * rows[i - 1];
    }
    const uint8_t* src[4] = {rgb.data(), nullptr, nullptr, nullptr};
    const int srcStride[4] = {kW * 3, 0, 0, 0};
    sws_scale(sws.get(), src, srcStride, 0, kH, dst, lineSizes);
    return raw;
}

struct RawCase {
    const char* name;
    CameraPixelFormat format;
    AVPixelFormat ffmpeg;
    int bytesPerPixel;
    int padding;  // bytes added to each first-plane row
};

class RawFormats : public ::testing::TestWithParam<RawCase> {};

TEST_P(RawFormats, ConvertBackToTheReferencePictureAndAShortOneIsRefused) {
    const RawCase& c = GetParam();
    const int bytesPerLine = kW * c.bytesPerPixel + c.padding;
    const auto raw = makeRaw(c.ffmpeg, bytesPerLine);
    ASSERT_EQ(CameraFrameConverter::frameBytes(c.format, kW, kH, bytesPerLine), raw.size());
    auto converter = CameraFrameConverter::create(c.format, kW, kH, c.padding ? bytesPerLine : 0);
    ASSERT_NE(converter, nullptr);
    std::vector<uint8_t> out(kW * kH * 4, 0);
    ASSERT_EQ(converter->convert(raw.data(), raw.size(), out.data()), 0);
    expectLooksLikeReference(out, 10, c.format == CameraPixelFormat::Grey);
    // One byte short: nothing past the end is read (the sanitizer build would see it).
    std::vector<uint8_t> untouched(kW * kH * 4, 0x5A);
    EXPECT_EQ(converter->convert(raw.data(), raw.size() - 1, untouched.data()), AVERROR(EINVAL));
    EXPECT_EQ(untouched, std::vector<uint8_t>(kW * kH * 4, 0x5A));
}

INSTANTIATE_TEST_SUITE_P(
    Camera, RawFormats,
    ::testing::Values(RawCase{"Yuyv", CameraPixelFormat::Yuyv, AV_PIX_FMT_YUYV422, 2, 0},
                      RawCase{"YuyvPadded", CameraPixelFormat::Yuyv, AV_PIX_FMT_YUYV422, 2, 16},
                      RawCase{"Uyvy", CameraPixelFormat::Uyvy, AV_PIX_FMT_UYVY422, 2, 0},
                      RawCase{"Nv12Padded", CameraPixelFormat::Nv12, AV_PIX_FMT_NV12, 1, 32},
                      RawCase{"Yuv420", CameraPixelFormat::Yuv420, AV_PIX_FMT_YUV420P, 1, 0},
                      RawCase{"Yuv420Padded", CameraPixelFormat::Yuv420, AV_PIX_FMT_YUV420P, 1, 32},
                      RawCase{"Rgb24", CameraPixelFormat::Rgb24, AV_PIX_FMT_RGB24, 3, 0},
                      RawCase{"Bgr24Padded", CameraPixelFormat::Bgr24, AV_PIX_FMT_BGR24, 3, 8},
                      RawCase{"Grey", CameraPixelFormat::Grey, AV_PIX_FMT_GRAY8, 1, 0}),
    [](const ::testing::TestParamInfo<RawCase>& info) { return std::string(info.param.name); });

// The reference picture as a JFIF file; quality above 90 keeps full colour, below halves it.
std::vector<uint8_t> makeJpeg(int quality, int width = kW) {
    std::vector<uint8_t> jpeg;
    stbi_write_jpg_to_func(
        [](void* out, void* data, int size) {
            auto* v = static_cast<std::vector<uint8_t>*>(out);
            v->insert(v->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
        },
        &jpeg, width, kH, 3, referenceRgb(width).data(), quality);
    return jpeg;
}

TEST(CameraFrameConverter, MjpegIsDecodedAndBrokenOrForeignPicturesAreRefused) {
    auto converter = CameraFrameConverter::create(CameraPixelFormat::Mjpeg, kW, kH);
    ASSERT_NE(converter, nullptr);
    std::vector<uint8_t> out(kW * kH * 4, 0x5A);
    const std::vector<uint8_t> untouched = out;
    const auto jpeg = makeJpeg(80);
    std::vector<uint8_t> garbage(4096);
    for (size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<uint8_t>(i * 131 + 7);
    }
    EXPECT_LT(converter->convert(garbage.data(), garbage.size(), out.data()), 0);
    EXPECT_LT(converter->convert(jpeg.data(), 0, out.data()), 0);
    EXPECT_LT(converter->convert(nullptr, 10, out.data()), 0);
    EXPECT_LT(converter->convert(jpeg.data(), 40, out.data()), 0);  // half a header
    const auto otherSize = makeJpeg(80, kW * 2);                    // would not fit the frame
    EXPECT_EQ(converter->convert(otherSize.data(), otherSize.size(), out.data()),
              AVERROR_INVALIDDATA);
    EXPECT_EQ(out, untouched);
    // The next good pictures decode, each at once (the decoder keeps none back).
    for (int quality : {80, 95, 80}) {
        const auto good = makeJpeg(quality);
        ASSERT_EQ(converter->convert(good.data(), good.size(), out.data()), 0) << quality;
        expectLooksLikeReference(out, 14);
    }
}

}  // namespace
