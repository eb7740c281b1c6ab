// The Video4Linux camera driver without a camera: which nodes it looks at and in what order,
// and that anything which is not a capture device is passed over without harm.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ChildProcess.h"
#include "camera/CameraFrameConverter.h"
#include "platform/linux/V4l2CameraDriver.h"

namespace {

namespace fs = std::filesystem;
using platform::V4l2CameraDriver;

TEST(V4l2Camera, VideoNodesAreTakenInNumberOrderAndOthersIgnored) {
    testsupport::TempDir dir;
    for (const char* name : {"video10", "video2", "video0", "video01", "videoX", "video", "video-1",
                             "notvideo3", "video3a", "Video4"}) {
        std::ofstream(dir.file(name)) << "x";
    }
    EXPECT_EQ(V4l2CameraDriver::videoNodes(dir.path()),
              (std::vector<std::string>{dir.file("video0"), dir.file("video01"), dir.file("video2"),
                                        dir.file("video10")}));
    EXPECT_TRUE(V4l2CameraDriver::videoNodes(dir.file("missing")).empty());
}

TEST(V4l2Camera, NodesThatAreNotCaptureDevicesAreNotListedOrOpened) {
    testsupport::TempDir dir;
    fs::create_symlink("/dev/null", dir.file("video0"));  // a device, but not a video one
    std::ofstream(dir.file("video1")) << "x";             // not a device at all
    fs::create_directory(dir.file("video2"));
    fs::create_symlink(dir.file("nowhere"), dir.file("video3"));
    V4l2CameraDriver driver(dir.path(), &platform::CameraFrameConverter::create);
    EXPECT_TRUE(driver.devices().empty());
    for (int32_t position : {0, 1, -1}) {
        EXPECT_EQ(driver.open(position), nullptr) << position;
    }
}

}  // namespace
