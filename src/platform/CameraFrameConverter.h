#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

// The picture formats cameras deliver that we can turn into ARGB32.
enum class CameraPixelFormat {
    Yuyv,    // packed 4:2:2, Y0 U Y1 V
    Uyvy,    // packed 4:2:2, U Y0 V Y1
    Nv12,    // Y plane, then interleaved U/V at half size
    Yuv420,  // Y plane, U plane, V plane (I420)
    Rgb24,   // R G B
    Bgr24,   // B G R
    Grey,    // Y only
    Mjpeg,   // one JPEG picture per frame
};

// Turns captured pictures of one format and size into ARGB32 (bytes B, G, R, A, rows top-down,
// width * 4 bytes each). Captured data is not trusted: short or malformed input is refused
// without reading past its end.
class CameraFrameConverter {
  public:
    // Null when the format cannot be converted at this size. `bytesPerLine` is the stride of
    // the first plane (0: tightly packed); planes follow each other without gaps.
    static std::unique_ptr<CameraFrameConverter> create(CameraPixelFormat format, int32_t width,
                                                        int32_t height, int32_t bytesPerLine = 0);
    virtual ~CameraFrameConverter() = default;

    // Converts one picture of `size` bytes into `out` (width * height * 4 bytes). 0, or a
    // negative FFmpeg error code when the input is refused; `out` may be partly written then.
    virtual int convert(const uint8_t* data, size_t size, uint8_t* out) = 0;

    // Bytes one uncompressed picture needs (0 for MJPEG, whose size varies).
    static size_t frameBytes(CameraPixelFormat format, int32_t width, int32_t height,
                             int32_t bytesPerLine = 0);
};

}  // namespace platform
