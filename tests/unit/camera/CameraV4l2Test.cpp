// The Video4Linux camera driver without a camera: which nodes it looks at and in what order,
// and that anything which is not a capture device is passed over without harm.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ChildProcess.h"
#include "base/HResult.h"
#include "camera/CameraDeviceList.h"
#include "camera/CameraFrameConverter.h"
#include "camera/StreamingCameraService.h"
#include "platform/CameraService.h"
#include "platform/linux/V4l2CameraDriver.h"

namespace {

namespace fs = std::filesystem;
using platform::CameraService;
using platform::V4l2CameraDriver;

void touch(const std::string& path) {
    std::ofstream(path) << "x";
}

TEST(V4l2Camera, VideoNodesAreTakenInNumberOrderAndOthersIgnored) {
    testsupport::TempDir dir;
    for (const char* name : {"video10", "video2", "video0", "video01", "videoX", "video", "video-1",
                             "notvideo3", "video3a", "Video4"}) {
        touch(dir.file(name));
    }
    const auto nodes = V4l2CameraDriver::videoNodes(dir.path());
    EXPECT_EQ(nodes, (std::vector<std::string>{dir.file("video0"), dir.file("video01"),
                                               dir.file("video2"), dir.file("video10")}));
    EXPECT_TRUE(V4l2CameraDriver::videoNodes(dir.file("missing")).empty());
}

TEST(V4l2Camera, NodesThatAreNotCaptureDevicesAreNotListedOrOpened) {
    testsupport::TempDir dir;
    fs::create_symlink("/dev/null", dir.file("video0"));  // a device, but not a video one
    touch(dir.file("video1"));                            // not a device at all
    fs::create_directory(dir.file("video2"));
    fs::create_symlink(dir.file("nowhere"), dir.file("video3"));

    V4l2CameraDriver driver(dir.path(), &platform::CameraFrameConverter::create);
    EXPECT_TRUE(driver.devices().empty());
    for (int32_t position : {0, 1, -1}) {
        EXPECT_EQ(driver.open(position), nullptr) << position;
    }
}

bool machineHasVideoNodes() {
    return !V4l2CameraDriver::videoNodes("/dev").empty();
}

TEST(V4l2Camera, OnAMachineWithoutCamerasTheServiceFindsNoneAndSaysSo) {
    if (machineHasVideoNodes()) {
        GTEST_SKIP() << "this machine has video devices";
    }
    auto camera = CameraService::create();
    EXPECT_TRUE(camera->devices().empty());
    EXPECT_EQ(camera->open(0), E_FAIL);
    EXPECT_FALSE(camera->isOpen());
    EXPECT_EQ(camera->state(), platform::CameraState::Released);
    EXPECT_EQ(camera->frameSize(), (platform::CameraSize{0, 0}));
    EXPECT_EQ(camera->run(), E_FAIL);
    EXPECT_EQ(camera->pause(), E_FAIL);
    camera->release();

    EXPECT_TRUE(CameraDeviceList(*camera).empty());
    EXPECT_EQ(CameraDeviceList::find(*camera, 0), E_FAIL);
    // The process's own service is the system one unless a test puts another in.
    EXPECT_TRUE(CameraDeviceList().empty());
    EXPECT_EQ(CameraDeviceList::find(0), E_FAIL);
}

}  // namespace
