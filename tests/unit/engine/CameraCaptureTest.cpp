// Camera capture over the camera service: choosing the device, where its frames are sent, and
// the camera's own file, which release finishes after stopping the camera.
#include "engine/CameraCapture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CameraFakes.h"
#include "ChildProcess.h"
#include "MediaProbe.h"
#include "RecordingFakes.h"
#include "SyntheticCameraDriver.h"
#include "base/HResult.h"
#include "camera/StreamingCameraService.h"
#include "engine/Encoder.h"
#include "engine/RecordingClock.h"

namespace {

using camerafakes::ScriptedDriver;
using platform::CameraService;
using D = platform::SyntheticCameraDriver;

TEST(CameraCapture, ADeviceIsOpenedOnceAndOneThatFailsLeavesNothingOpen) {
    auto driver = std::make_unique<ScriptedDriver>(2, std::vector<bool>{true, false});
    ScriptedDriver* d = driver.get();
    platform::StreamingCameraService service(std::move(driver));
    CameraCapture camera(service);
    EXPECT_EQ(camera.openDevice(-1), E_FAIL);
    EXPECT_EQ(camera.openDevice(0), S_OK);
    EXPECT_TRUE(camera.enabled() && camera.graphExists());
    EXPECT_EQ(camera.openDevice(0), S_FALSE);  // the same device again: nothing changes
    EXPECT_EQ(d->opened, std::vector<int32_t>{0});
    for (int32_t index : {1, 2}) {  // one that cannot be opened, one past the end
        EXPECT_LT(camera.openDevice(index), 0) << index;
        EXPECT_FALSE(camera.enabled() || camera.graphExists());
        EXPECT_EQ(camera.deviceIndex(), 0);  // the last device that opened
    }
    // Frames with nowhere to go: no file named, or only the camera without a main encoder.
    for (const bool onlyCamera : {false, true}) {
        ASSERT_EQ(camera.openDevice(0), S_OK);
        ASSERT_EQ(camera.buildRecordingGraph(), S_OK);
        camera.setOnlyCamera(onlyCamera);
        EXPECT_EQ(camera.attachEncoder(onlyCamera ? "unused.mp4" : "", nullptr), -1);
        EXPECT_FALSE(camera.enabled() || camera.graphExists());
    }
}

TEST(CameraCapture, TheCameraWritesItsOwnFileUprightAtThirtyFramesASecond) {
    testsupport::TempDir dir;
    RecordingClock clock;
    clock.start();
    recordingfakes::ObservedCameraService service(platform::createSyntheticCameraService());
    CameraCapture camera(service, clock);
    ASSERT_EQ(camera.openDevice(0), S_OK);
    ASSERT_EQ(camera.buildRecordingGraph(), S_OK);
    const std::string path = dir.file("camera.mp4");
    ASSERT_EQ(camera.attachEncoder(path.c_str(), nullptr), 1);
    ASSERT_TRUE(camera.hasOwnEncoder());

    // Release stops the camera before it finishes the file.
    std::vector<std::string> heard;
    service.beforeCall = [&](const std::string& call) {
        heard.push_back(call +
                        (camera.ownEncoder() && camera.ownEncoder()->isOpen() ? " (open)" : ""));
    };
    camera.prepareOwnEncoder();
    ASSERT_EQ(camera.run(), S_OK);
    ASSERT_TRUE(service.delivered.waitFor(12));
    ASSERT_EQ(camera.pause(), S_OK);
    const int64_t encoded = camera.ownEncoder()->videoFrames();
    EXPECT_GT(encoded, 0);
    camera.release();
    EXPECT_FALSE(camera.enabled() || camera.hasOwnEncoder());
    EXPECT_EQ(service.state(), platform::CameraState::Released);
    ASSERT_GE(heard.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(heard.begin(), heard.begin() + 3),
              (std::vector<std::string>{"run (open)", "pause (open)", "stop (open)"}));

    // The camera's first row is the picture's top row, its last row the bottom one: red over
    // blue by a clear margin, and the reverse (chroma is shared between two rows, so the rows
    // are told apart by their tint, not their exact colour).
    static_assert(D::kFirstRow == 0xFFFF0000 && D::kLastRow == 0xFF0000FF, "red, blue");
    auto redOverBlue = [](const uint8_t* bgra) { return int{bgra[2]} - int{bgra[0]}; };
    const size_t lastRow = size_t{D::kWidth} * 4 * (D::kHeight - 1);
    const auto file = testsupport::probeMedia(path, [&](size_t index, const uint8_t* bgra) {
        for (int x = 8; index == 0 && x < D::kWidth; x += 311) {
            EXPECT_GT(redOverBlue(bgra + x * 4), 60) << x;
            EXPECT_LT(redOverBlue(bgra + x * 4 + lastRow), -60) << x;
        }
    });
    ASSERT_EQ(file.streams.size(), 1u);  // no sound
    const auto& s = file.streams[0];  // its size is checked by the integration suite's recordings
    EXPECT_EQ(s.decodeErrors, 0);
    EXPECT_EQ(static_cast<int64_t>(s.framePts.size()), encoded);
    EXPECT_EQ(av_cmp_q(s.frameRate, AVRational{30, 1}), 0)
        << s.frameRate.num << "/" << s.frameRate.den;
}

}  // namespace
