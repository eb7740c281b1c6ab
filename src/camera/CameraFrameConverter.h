#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/CameraPixelConverter.h"

namespace platform {

// Turns captured pictures of one format and size into ARGB32 (bytes B, G, R, A, rows top-down,
// width * 4 bytes each). Captured data is not trusted: short or malformed input is refused
// without reading past its end.
class CameraFrameConverter : public CameraPixelConverter {
  public:
    // Null when the format cannot be converted at this size. `bytesPerLine` is the stride of
    // the first plane (0: tightly packed); planes follow each other without gaps.
    static std::unique_ptr<CameraFrameConverter> create(CameraPixelFormat format, int32_t width,
                                                        int32_t height, int32_t bytesPerLine = 0);

    // Bytes one uncompressed picture needs (0 for MJPEG, whose size varies).
    static size_t frameBytes(CameraPixelFormat format, int32_t width, int32_t height,
                             int32_t bytesPerLine = 0);
};

}  // namespace platform
