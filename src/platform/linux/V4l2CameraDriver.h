#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/CameraDriver.h"
#include "platform/CameraPixelConverter.h"

namespace platform {

// Video4Linux cameras: the nodes video<N> of a device directory in the order of N, those that
// capture video and stream through mmap, named by their card name. Frames are read by the
// streaming thread and converted to ARGB32 (YUYV, MJPEG and a few raw formats) by a converter
// from `converters`, made for the format each device is set to.
class V4l2CameraDriver final : public CameraDriver {
  public:
    V4l2CameraDriver(std::string deviceDirectory, CameraPixelConverterFactory converters);

    std::vector<CameraDevice> devices() override;
    std::unique_ptr<CameraFrameSource> open(int32_t position) override;

    // The paths of the directory's video<N> entries (N decimal digits), ordered by N.
    static std::vector<std::string> videoNodes(const std::string& directory);

  private:
    struct Node {
        std::string path;
        CameraDevice device;
    };
    std::vector<Node> captureNodes() const;

    const std::string directory_;
    const CameraPixelConverterFactory converters_;
};

}  // namespace platform
