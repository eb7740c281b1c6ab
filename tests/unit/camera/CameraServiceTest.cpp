// The camera service: the run/pause/stop/release life of the streaming thread, over the
// synthetic camera and over scripted sources where the order of events is the point.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <vector>

#include "Await.h"
#include "CameraFakes.h"
#include "SyntheticCameraDriver.h"
#include "base/HResult.h"
#include "camera/StreamingCameraService.h"
#include "platform/CameraService.h"

namespace {

using camerafakes::FrameLog;
using camerafakes::ScriptedDriver;
using camerafakes::ScriptedSource;
using platform::CameraFrame;
using platform::CameraService;
using platform::CameraState;
using testsupport::Event;
using Wait = platform::CameraFrameSource::Wait;
using namespace std::chrono_literals;

std::unique_ptr<CameraService> synthetic() {
    return platform::createSyntheticCameraService();
}

TEST(SyntheticCamera, RunsFramesOnAThreadOfItsOwnThatPauseAndStopHoldBackAndReleaseEnds) {
    auto camera = synthetic();
    EXPECT_EQ(camera->open(1), E_FAIL);
    ASSERT_EQ(camera->open(0), S_OK);
    std::atomic<bool> halted{false};
    std::atomic<int> framesWhileHalted{0};
    FrameLog log;
    camera->setFrameCallback([&](const CameraFrame& f) {
        framesWhileHalted += halted ? 1 : 0;
        log.add(f);
    });
    const std::pair<int32_t (CameraService::*)(), CameraState> halts[] = {
        {&CameraService::pause, CameraState::Paused}, {&CameraService::stop, CameraState::Stopped}};
    for (const auto& [halt, state] : halts) {
        halted = false;
        ASSERT_EQ(camera->run(), S_OK);
        EXPECT_EQ(camera->state(), CameraState::Running);
        ASSERT_TRUE(log.waitFor(log.count() + 3));
        ASSERT_EQ(((*camera).*halt)(), S_OK);
        halted = true;  // from the moment the call returns
        EXPECT_EQ(camera->state(), state);
    }
    // Delivered on a thread of the service's own, not the caller's.
    EXPECT_NE(log.frames().at(0).thread, std::this_thread::get_id());
    camera->release();
    halted = true;
    EXPECT_EQ(framesWhileHalted, 0);
    EXPECT_EQ(camera->state(), CameraState::Released);
    EXPECT_EQ(camera->run(), E_FAIL);
    camera->release();  // twice is harmless
}

// Scripted sources: the orderings a real camera produces only by chance.
struct ScriptedCamera {
    ScriptedDriver* driver = nullptr;
    std::unique_ptr<platform::StreamingCameraService> service;
    FrameLog log;

    explicit ScriptedCamera(std::function<void(ScriptedSource&)> prepare) {
        auto d = std::make_unique<ScriptedDriver>();
        d->prepare = std::move(prepare);
        driver = d.get();
        service = std::make_unique<platform::StreamingCameraService>(std::move(d));
        EXPECT_EQ(service->open(0), S_OK);
        service->setFrameCallback([this](const CameraFrame& f) { log.add(f); });
    }
    ScriptedSource& source() { return *driver->lastSource; }
};

TEST(CameraStreaming, StopWaitsForTheFrameBeingDeliveredAndNoneFollows) {
    ScriptedCamera camera(nullptr);
    Event inCallback;
    Event release;
    std::atomic<bool> stopReturned{false};
    std::atomic<int> framesAfterStop{0};
    camera.service->setFrameCallback([&](const CameraFrame&) {
        framesAfterStop += stopReturned ? 1 : 0;
        if (!inCallback.isSet()) {
            inCallback.set();
            EXPECT_TRUE(release.wait(10s, "the test to let the frame go"));
        }
    });
    ASSERT_EQ(camera.service->run(), S_OK);
    ASSERT_TRUE(inCallback.wait(10s, "the first frame"));
    auto stopping = std::async(std::launch::async, [&] {
        const int32_t r = camera.service->stop();
        stopReturned = true;
        return r;
    });
    ASSERT_TRUE(camera.source().interruptSeen.wait(10s, "the stop to begin"));
    // While the callback holds its frame, stop must not return (a right stop can only time
    // out here).
    EXPECT_EQ(stopping.wait_for(100ms), std::future_status::timeout);
    release.set();
    EXPECT_EQ(stopping.get(), S_OK);
    EXPECT_EQ(camera.source().stops, 1);
    camera.service->release();
    EXPECT_EQ(framesAfterStop, 0);
}

TEST(CameraStreaming, AFrameCapturedWhileStoppingIsDropped) {
    Event waiting;
    ScriptedCamera camera([&](ScriptedSource& s) {
        s.onWait = [&](ScriptedSource& self, const ScriptedSource::Deliver& deliver) {
            waiting.set();  // the picture completes just as the stop request comes in
            self.awaitInterrupt();
            self.deliverOne(deliver);
            return Wait::Frame;
        };
    });
    ASSERT_EQ(camera.service->run(), S_OK);
    ASSERT_TRUE(waiting.wait(10s, "the source's first wait"));
    ASSERT_EQ(camera.service->stop(), S_OK);
    EXPECT_EQ(camera.source().waits, 1);
    EXPECT_EQ(camera.log.count(), 0u);
}

TEST(CameraStreaming, ADeviceThatWillNotStartOrFailsLeavesTheStreamStoppedAndCanRunAgain) {
    ScriptedCamera camera([&](ScriptedSource& s) {
        s.startResult = E_FAIL;  // busy elsewhere at first
        s.onWait = [](ScriptedSource& self, const ScriptedSource::Deliver& deliver) {
            if (self.waits == 3) {
                return Wait::Failed;  // unplugged
            }
            self.deliverOne(deliver);
            return Wait::Frame;
        };
    });
    EXPECT_EQ(camera.service->run(), E_FAIL);
    EXPECT_EQ(camera.service->state(), CameraState::Stopped);
    EXPECT_EQ(camera.source().waits, 0);
    camera.source().startResult = S_OK;
    ASSERT_EQ(camera.service->run(), S_OK);
    ASSERT_TRUE(
        testsupport::waitFor([&] { return camera.service->state() == CameraState::Stopped; }, 10s,
                             "the stream to stop"));
    EXPECT_EQ(camera.source().stops, 1);
    EXPECT_EQ(camera.log.count(), 2u);
    ASSERT_EQ(camera.service->run(), S_OK);
    EXPECT_EQ(camera.source().starts, 3);
    ASSERT_TRUE(camera.log.waitFor(3));
    camera.service->release();
}

}  // namespace
