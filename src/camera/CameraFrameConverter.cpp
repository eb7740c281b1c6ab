#include "camera/CameraFrameConverter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <climits>
#include <cstring>
#include <utility>
#include <vector>

#include "base/FFmpegPtr.h"

namespace platform {
namespace {

bool validSize(int32_t width, int32_t height) {
    return width > 0 && height > 0 && width <= 16384 && height <= 16384;
}

// How one uncompressed format is laid out in a captured buffer.
struct RawLayout {
    AVPixelFormat pixelFormat = AV_PIX_FMT_NONE;
    int planes = 0;
    int lineSize[3] = {0, 0, 0};
    int rows[3] = {0, 0, 0};
};

bool rawLayout(CameraPixelFormat format, int32_t width, int32_t height, int32_t bytesPerLine,
               RawLayout* layout) {
    if (!validSize(width, height) || bytesPerLine < 0) {
        return false;
    }
    int bytesPerPixel = 0;
    switch (format) {
        case CameraPixelFormat::Yuyv:
            layout->pixelFormat = AV_PIX_FMT_YUYV422;
            bytesPerPixel = 2;
            break;
        case CameraPixelFormat::Uyvy:
            layout->pixelFormat = AV_PIX_FMT_UYVY422;
            bytesPerPixel = 2;
            break;
        case CameraPixelFormat::Rgb24:
            layout->pixelFormat = AV_PIX_FMT_RGB24;
            bytesPerPixel = 3;
            break;
        case CameraPixelFormat::Bgr24:
            layout->pixelFormat = AV_PIX_FMT_BGR24;
            bytesPerPixel = 3;
            break;
        case CameraPixelFormat::Grey:
            layout->pixelFormat = AV_PIX_FMT_GRAY8;
            bytesPerPixel = 1;
            break;
        case CameraPixelFormat::Nv12:
            layout->pixelFormat = AV_PIX_FMT_NV12;
            bytesPerPixel = 1;
            break;
        case CameraPixelFormat::Yuv420:
            layout->pixelFormat = AV_PIX_FMT_YUV420P;
            bytesPerPixel = 1;
            break;
        case CameraPixelFormat::Mjpeg:
            return false;
    }
    const bool subsampled =
        format == CameraPixelFormat::Yuyv || format == CameraPixelFormat::Uyvy ||
        format == CameraPixelFormat::Nv12 || format == CameraPixelFormat::Yuv420;
    if (subsampled && width % 2 != 0) {
        return false;
    }
    if ((format == CameraPixelFormat::Nv12 || format == CameraPixelFormat::Yuv420) &&
        height % 2 != 0) {
        return false;
    }
    const int stride = bytesPerLine == 0 ? width * bytesPerPixel : bytesPerLine;
    if (stride < width * bytesPerPixel) {
        return false;
    }
    layout->planes = 1;
    layout->lineSize[0] = stride;
    layout->rows[0] = height;
    if (format == CameraPixelFormat::Nv12) {
        layout->planes = 2;
        layout->lineSize[1] = stride;
        layout->rows[1] = height / 2;
    } else if (format == CameraPixelFormat::Yuv420) {
        if (stride % 2 != 0) {
            return false;
        }
        layout->planes = 3;
        layout->lineSize[1] = layout->lineSize[2] = stride / 2;
        layout->rows[1] = layout->rows[2] = height / 2;
    }
    return true;
}

size_t layoutBytes(const RawLayout& layout) {
    size_t total = 0;
    for (int i = 0; i < layout.planes; ++i) {
        total += static_cast<size_t>(layout.lineSize[i]) * static_cast<size_t>(layout.rows[i]);
    }
    return total;
}

class RawConverter final : public CameraFrameConverter {
  public:
    RawConverter(const RawLayout& layout, int32_t width, int32_t height, FFmpegPtr<SwsContext> sws)
        : layout_(layout),
          bytes_(layoutBytes(layout)),
          width_(width),
          height_(height),
          sws_(std::move(sws)) {}

    int convert(const uint8_t* data, size_t size, uint8_t* out) override {
        if (data == nullptr || out == nullptr || size < bytes_) {
            return AVERROR(EINVAL);
        }
        const uint8_t* planes[4] = {nullptr, nullptr, nullptr, nullptr};
        int lineSizes[4] = {0, 0, 0, 0};
        const uint8_t* p = data;
        for (int i = 0; i < layout_.planes; ++i) {
            planes[i] = p;
            lineSizes[i] = layout_.lineSize[i];
            p += static_cast<size_t>(layout_.lineSize[i]) * static_cast<size_t>(layout_.rows[i]);
        }
        uint8_t* dst[4] = {out, nullptr, nullptr, nullptr};
        const int dstStride[4] = {width_ * 4, 0, 0, 0};
        const int rows = sws_scale(sws_.get(), planes, lineSizes, 0, height_, dst, dstStride);
        return rows == height_ ? 0 : AVERROR_EXTERNAL;
    }

  private:
    const RawLayout layout_;
    const size_t bytes_;
    const int32_t width_;
    const int32_t height_;
    FFmpegPtr<SwsContext> sws_;
};

// JPEG decoders hand out the full-range "J" formats; swscale wants the plain format with the
// range said separately.
AVPixelFormat withoutFullRange(AVPixelFormat format, bool* fullRange) {
    *fullRange = true;
    switch (format) {
        case AV_PIX_FMT_YUVJ420P:
            return AV_PIX_FMT_YUV420P;
        case AV_PIX_FMT_YUVJ422P:
            return AV_PIX_FMT_YUV422P;
        case AV_PIX_FMT_YUVJ444P:
            return AV_PIX_FMT_YUV444P;
        case AV_PIX_FMT_YUVJ440P:
            return AV_PIX_FMT_YUV440P;
        case AV_PIX_FMT_YUVJ411P:
            return AV_PIX_FMT_YUV411P;
        default:
            *fullRange = false;
            return format;
    }
}

class MjpegConverter final : public CameraFrameConverter {
  public:
    MjpegConverter(int32_t width, int32_t height, FFmpegPtr<AVCodecContext> codec)
        : width_(width),
          height_(height),
          codec_(std::move(codec)),
          frame_(av_frame_alloc()),
          packet_(av_packet_alloc()) {}

    bool ready() const { return frame_ && packet_; }

    int convert(const uint8_t* data, size_t size, uint8_t* out) override {
        if (data == nullptr || out == nullptr || size == 0 ||
            size > static_cast<size_t>(INT_MAX - AV_INPUT_BUFFER_PADDING_SIZE)) {
            return AVERROR(EINVAL);
        }
        // The decoder may read a little past the end; give it zeroed room.
        padded_.assign(size + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        std::memcpy(padded_.data(), data, size);
        packet_->data = padded_.data();
        packet_->size = static_cast<int>(size);
        int ret = avcodec_send_packet(codec_.get(), packet_.get());
        packet_->data = nullptr;
        packet_->size = 0;
        if (ret < 0) {
            return ret;
        }
        ret = avcodec_receive_frame(codec_.get(), frame_.get());
        if (ret < 0) {
            return ret;
        }
        ret = scale(out);
        av_frame_unref(frame_.get());
        return ret;
    }

  private:
    int scale(uint8_t* out) {
        // A picture of another size than the stream announced would not fit `out`.
        if (frame_->width != width_ || frame_->height != height_) {
            return AVERROR_INVALIDDATA;
        }
        // The decoder keeps one format for a stream; the scaler is made again only if it changes.
        const auto decoded = static_cast<AVPixelFormat>(frame_->format);
        if (!sws_ || decoded != decodedFormat_) {
            bool fullRange = false;
            const AVPixelFormat source = withoutFullRange(decoded, &fullRange);
            sws_.reset(sws_getContext(width_, height_, source, width_, height_, AV_PIX_FMT_BGRA,
                                      SWS_BILINEAR, nullptr, nullptr, nullptr));
            if (!sws_) {
                return AVERROR(ENOSYS);
            }
            const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
            sws_setColorspaceDetails(sws_.get(), coefficients, fullRange ? 1 : 0, coefficients, 1,
                                     0, 1 << 16, 1 << 16);
            decodedFormat_ = decoded;
        }
        uint8_t* dst[4] = {out, nullptr, nullptr, nullptr};
        const int dstStride[4] = {width_ * 4, 0, 0, 0};
        const int rows =
            sws_scale(sws_.get(), frame_->data, frame_->linesize, 0, height_, dst, dstStride);
        return rows == height_ ? 0 : AVERROR_EXTERNAL;
    }

    const int32_t width_;
    const int32_t height_;
    FFmpegPtr<AVCodecContext> codec_;
    FFmpegPtr<AVFrame> frame_;
    FFmpegPtr<AVPacket> packet_;
    FFmpegPtr<SwsContext> sws_;
    AVPixelFormat decodedFormat_ = AV_PIX_FMT_NONE;
    std::vector<uint8_t> padded_;
};

std::unique_ptr<CameraFrameConverter> createMjpeg(int32_t width, int32_t height) {
    if (!validSize(width, height)) {
        return nullptr;
    }
    const AVCodec* decoder = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
    if (decoder == nullptr) {
        return nullptr;
    }
    FFmpegPtr<AVCodecContext> codec(avcodec_alloc_context3(decoder));
    if (!codec) {
        return nullptr;
    }
    // One picture in, one picture out: no frame threads holding pictures back.
    codec->thread_count = 1;
    codec->flags |= AV_CODEC_FLAG_LOW_DELAY;
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0) {
        return nullptr;
    }
    auto converter = std::make_unique<MjpegConverter>(width, height, std::move(codec));
    if (!converter->ready()) {
        return nullptr;
    }
    return converter;
}

}  // namespace

std::unique_ptr<CameraFrameConverter> CameraFrameConverter::create(CameraPixelFormat format,
                                                                   int32_t width, int32_t height,
                                                                   int32_t bytesPerLine) {
    if (format == CameraPixelFormat::Mjpeg) {
        return createMjpeg(width, height);
    }
    RawLayout layout;
    if (!rawLayout(format, width, height, bytesPerLine, &layout)) {
        return nullptr;
    }
    FFmpegPtr<SwsContext> sws(sws_getContext(width, height, layout.pixelFormat, width, height,
                                             AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr,
                                             nullptr));
    if (!sws) {
        return nullptr;
    }
    return std::make_unique<RawConverter>(layout, width, height, std::move(sws));
}

size_t CameraFrameConverter::frameBytes(CameraPixelFormat format, int32_t width, int32_t height,
                                        int32_t bytesPerLine) {
    RawLayout layout;
    if (!rawLayout(format, width, height, bytesPerLine, &layout)) {
        return 0;
    }
    return layoutBytes(layout);
}

}  // namespace platform
