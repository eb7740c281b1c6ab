#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

// Turns the pictures of one device (one format, one size) into ARGB32 (bytes B, G, R, A, rows
// top-down, width * 4 bytes each), for a backend whose devices deliver other formats. The
// conversion is portable and lives above the platform (camera/CameraFrameConverter.h); the
// backend is handed a way to make one.
class CameraPixelConverter {
  public:
    virtual ~CameraPixelConverter() = default;

    // Converts one picture of `size` bytes into `out` (width * height * 4 bytes). 0, or a
    // negative FFmpeg error code when the input is refused; `out` may be partly written then.
    virtual int convert(const uint8_t* data, size_t size, uint8_t* out) = 0;
};

// Makes the converter for pictures of `format` at width x height, or null when they cannot be
// converted. `bytesPerLine` is the stride of the first plane (0: tightly packed).
using CameraPixelConverterFactory = std::function<std::unique_ptr<CameraPixelConverter>(
    CameraPixelFormat format, int32_t width, int32_t height, int32_t bytesPerLine)>;

}  // namespace platform
