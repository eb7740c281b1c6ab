// The camera service: the synthetic camera's frames and timing, and the run/pause/stop/release
// life of the streaming thread, with scripted sources where the order of events is the point.
#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <set>
#include <vector>

#include "CameraFakes.h"
#include "SyntheticCameraDriver.h"
#include "base/HResult.h"
#include "camera/StreamingCameraService.h"
#include "platform/CameraService.h"

namespace {

using camerafakes::Event;
using camerafakes::FrameLog;
using camerafakes::ScriptedDriver;
using camerafakes::ScriptedSource;
using platform::CameraFrame;
using platform::CameraService;
using platform::CameraState;
using platform::SyntheticCameraDriver;
using Wait = platform::CameraFrameSource::Wait;

std::unique_ptr<CameraService> synthetic() {
    return platform::createSyntheticCameraService();
}

uint32_t pixelAt(const std::vector<uint8_t>& pixels, int32_t x, int32_t y) {
    const uint8_t* p = pixels.data() + (static_cast<size_t>(y) * 640 + x) * 4;
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

TEST(SyntheticCamera, ListsOneNamedDeviceAndOpensOnlyThatOne) {
    auto camera = synthetic();
    const auto devices = camera->devices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_TRUE(devices[0].hasName);
    EXPECT_EQ(devices[0].friendlyName, SyntheticCameraDriver::kFriendlyName);

    EXPECT_EQ(camera->state(), CameraState::Released);
    EXPECT_EQ(camera->open(1), E_FAIL);
    EXPECT_EQ(camera->open(-1), E_FAIL);
    EXPECT_FALSE(camera->isOpen());
    EXPECT_EQ(camera->frameSize(), (platform::CameraSize{0, 0}));
    EXPECT_EQ(camera->run(), E_FAIL);  // nothing to run

    EXPECT_EQ(camera->open(0), S_OK);
    EXPECT_TRUE(camera->isOpen());
    EXPECT_EQ(camera->state(), CameraState::Stopped);
    EXPECT_EQ(camera->frameSize(), (platform::CameraSize{640, 480}));
}

TEST(SyntheticCamera, DeliversFramesOfTheAnnouncedSizeOnItsOwnThreadThirtyASecond) {
    auto camera = synthetic();
    ASSERT_EQ(camera->open(0), S_OK);
    FrameLog log;
    camera->setFrameCallback([&](const CameraFrame& f) { log.add(f); });
    ASSERT_EQ(camera->run(), S_OK);
    EXPECT_EQ(camera->state(), CameraState::Running);
    ASSERT_TRUE(log.waitFor(15));
    ASSERT_EQ(camera->stop(), S_OK);

    const auto frames = log.frames();
    std::set<std::thread::id> threads;
    constexpr double kPeriodUs = 1e6 / SyntheticCameraDriver::kFramesPerSecond;
    for (size_t i = 0; i < frames.size(); ++i) {
        const auto& f = frames[i];
        EXPECT_EQ(f.width, 640);
        EXPECT_EQ(f.height, 480);
        EXPECT_EQ(f.stride, 640 * 4);
        EXPECT_EQ(f.sequence, i);
        // Never handed over before its time in the schedule.
        EXPECT_GE(f.deliveredUs, f.timestampUs) << "frame " << i;
        threads.insert(f.thread);
        if (i > 0) {
            // Frames sit on the 1/30 s grid; a slow consumer may skip places, never add any.
            const double gap = static_cast<double>(f.timestampUs - frames[i - 1].timestampUs);
            const double places = gap / kPeriodUs;
            EXPECT_GE(places, 0.99) << "frame " << i;
            EXPECT_NEAR(places, static_cast<double>(static_cast<int64_t>(places + 0.5)), 0.01)
                << "frame " << i << " gap " << gap;
        }
    }
    ASSERT_EQ(threads.size(), 1u);
    EXPECT_NE(*threads.begin(), std::this_thread::get_id());
}

TEST(SyntheticCamera, DrawsTheAnnouncedPatternWithAMovingSquare) {
    auto camera = synthetic();
    ASSERT_EQ(camera->open(0), S_OK);
    std::mutex mutex;
    std::vector<std::vector<uint8_t>> pictures;
    std::vector<uint32_t> sequences;
    Event twoPictures;
    camera->setFrameCallback([&](const CameraFrame& f) {
        std::lock_guard<std::mutex> lock(mutex);
        if (pictures.size() < 2) {
            pictures.emplace_back(f.pixels, f.pixels + static_cast<size_t>(f.stride) * f.height);
            sequences.push_back(f.sequence);
        }
        if (pictures.size() == 2) {
            twoPictures.set();
        }
    });
    ASSERT_EQ(camera->run(), S_OK);
    ASSERT_TRUE(twoPictures.wait());
    camera->release();

    using D = SyntheticCameraDriver;
    for (size_t k = 0; k < 2; ++k) {
        const auto& p = pictures[k];
        for (int32_t x : {0, 319, 639}) {
            EXPECT_EQ(pixelAt(p, x, 0), D::kFirstRow);
            EXPECT_EQ(pixelAt(p, x, 479), D::kLastRow);
        }
        for (int32_t bar = 0; bar < 8; ++bar) {
            EXPECT_EQ(pixelAt(p, bar * 80 + 40, 1), D::kBarColours[bar]);
            EXPECT_EQ(pixelAt(p, bar * 80 + 40, 319), D::kBarColours[bar]);
        }
        const int32_t left = D::squareLeft(sequences[k]);
        const int32_t y = D::kSquareTop + D::kSquareSize / 2;
        EXPECT_EQ(pixelAt(p, left, y), D::kSquare);
        EXPECT_EQ(pixelAt(p, left + D::kSquareSize - 1, y), D::kSquare);
        EXPECT_EQ(pixelAt(p, left + D::kSquareSize, y), D::kBackground);
        EXPECT_EQ(pixelAt(p, left, D::kSquareTop - 1), D::kBackground);
    }
    EXPECT_NE(D::squareLeft(sequences[0]), D::squareLeft(sequences[1]));
}

// Frames that arrive while a "halted" flag is up count as faults; the flag goes up right after
// pause/stop return and down right before run.
struct HaltWatch {
    std::atomic<bool> halted{false};
    std::atomic<int> framesWhileHalted{0};
    FrameLog log;
    void onFrame(const CameraFrame& f) {
        if (halted) {
            ++framesWhileHalted;
        }
        log.add(f);
    }
};

TEST(SyntheticCamera, PauseAndStopHoldFramesBackUntilRunAndReleaseEndsTheStream) {
    auto camera = synthetic();
    ASSERT_EQ(camera->open(0), S_OK);
    HaltWatch watch;
    camera->setFrameCallback([&](const CameraFrame& f) { watch.onFrame(f); });

    ASSERT_EQ(camera->run(), S_OK);
    ASSERT_TRUE(watch.log.waitFor(3));
    ASSERT_EQ(camera->pause(), S_OK);
    watch.halted = true;
    EXPECT_EQ(camera->state(), CameraState::Paused);
    const size_t afterPause = watch.log.count();

    watch.halted = false;
    ASSERT_EQ(camera->run(), S_OK);
    ASSERT_TRUE(watch.log.waitFor(afterPause + 3));
    ASSERT_EQ(camera->stop(), S_OK);
    watch.halted = true;
    EXPECT_EQ(camera->state(), CameraState::Stopped);
    const size_t afterStop = watch.log.count();

    watch.halted = false;
    ASSERT_EQ(camera->run(), S_OK);
    ASSERT_TRUE(watch.log.waitFor(afterStop + 3));
    camera->release();
    watch.halted = true;

    EXPECT_EQ(watch.framesWhileHalted, 0);
    EXPECT_EQ(camera->state(), CameraState::Released);
    EXPECT_FALSE(camera->isOpen());
    EXPECT_EQ(camera->frameSize(), (platform::CameraSize{0, 0}));
    EXPECT_EQ(camera->run(), E_FAIL);
    EXPECT_EQ(camera->stop(), E_FAIL);
    camera->release();  // twice is harmless
    EXPECT_EQ(camera->state(), CameraState::Released);

    // The stream went on counting across pause and stop.
    const auto frames = watch.log.frames();
    for (size_t i = 1; i < frames.size(); ++i) {
        EXPECT_GT(frames[i].sequence, frames[i - 1].sequence);
    }
}

TEST(SyntheticCamera, CallsFromTheFrameCallbackFailInsteadOfWaitingForThemselves) {
    auto camera = synthetic();
    ASSERT_EQ(camera->open(0), S_OK);
    std::promise<std::vector<int32_t>> results;
    Event done;
    bool first = true;
    camera->setFrameCallback([&](const CameraFrame&) {
        if (!first) {
            return;
        }
        first = false;
        std::vector<int32_t> r;
        r.push_back(camera->stop());
        r.push_back(camera->pause());
        r.push_back(camera->run());
        r.push_back(camera->open(0));
        camera->release();
        camera->setFrameCallback(nullptr);
        r.push_back(camera->isOpen() ? 1 : 0);
        results.set_value(r);
        done.set();
    });
    ASSERT_EQ(camera->run(), S_OK);
    ASSERT_TRUE(done.wait());
    EXPECT_EQ(results.get_future().get(),
              (std::vector<int32_t>{E_FAIL, E_FAIL, E_FAIL, E_FAIL, 1}));
    EXPECT_EQ(camera->state(), CameraState::Running);
    camera->release();
    EXPECT_EQ(camera->state(), CameraState::Released);
}

TEST(SyntheticCamera, AReplacedCallbackIsNeverCalledOnceTheReplacementReturns) {
    auto camera = synthetic();
    ASSERT_EQ(camera->open(0), S_OK);
    std::atomic<bool> replaced{false};
    std::atomic<int> lateCalls{0};
    FrameLog before;
    FrameLog after;
    camera->setFrameCallback([&](const CameraFrame& f) {
        if (replaced) {
            ++lateCalls;
        }
        before.add(f);
    });
    ASSERT_EQ(camera->run(), S_OK);
    ASSERT_TRUE(before.waitFor(2));
    camera->setFrameCallback([&](const CameraFrame& f) { after.add(f); });
    replaced = true;
    ASSERT_TRUE(after.waitFor(3));
    camera->stop();
    EXPECT_EQ(lateCalls, 0);
}

TEST(SyntheticCamera, GoingAwayWhileRunningEndsTheThreadAndDropsTheCallback) {
    auto token = std::make_shared<int>(0);
    FrameLog log;
    {
        auto camera = synthetic();
        ASSERT_EQ(camera->open(0), S_OK);
        camera->setFrameCallback([&log, token](const CameraFrame& f) { log.add(f); });
        ASSERT_EQ(camera->run(), S_OK);
        ASSERT_TRUE(log.waitFor(2));
    }
    EXPECT_EQ(token.use_count(), 1);
}

TEST(SyntheticCamera, OpeningAgainRestartsTheStreamStopped) {
    auto camera = synthetic();
    ASSERT_EQ(camera->open(0), S_OK);
    FrameLog log;
    camera->setFrameCallback([&](const CameraFrame& f) { log.add(f); });
    ASSERT_EQ(camera->run(), S_OK);
    ASSERT_TRUE(log.waitFor(3));
    ASSERT_EQ(camera->open(0), S_OK);
    EXPECT_EQ(camera->state(), CameraState::Stopped);
    const size_t before = log.count();
    ASSERT_EQ(camera->run(), S_OK);
    ASSERT_TRUE(log.waitFor(before + 1));
    camera->release();
    EXPECT_EQ(log.frames()[before].sequence, 0u);  // a new stream counts from 0
}

// Scripted sources: the orderings a real camera produces only by chance.

struct ScriptedCamera {
    ScriptedDriver* driver = nullptr;
    std::unique_ptr<platform::StreamingCameraService> service;

    explicit ScriptedCamera(std::function<void(ScriptedSource&)> prepare) {
        auto d = std::make_unique<ScriptedDriver>();
        d->list = {ScriptedDriver::named(L"scripted")};
        d->prepare = std::move(prepare);
        driver = d.get();
        service = std::make_unique<platform::StreamingCameraService>(std::move(d));
    }
    ScriptedSource& source() { return *driver->lastSource; }
};

TEST(CameraStreaming, StopWaitsForTheFrameBeingDeliveredAndNoneFollows) {
    ScriptedCamera camera(nullptr);
    ASSERT_EQ(camera.service->open(0), S_OK);
    Event inCallback;
    Event release;
    std::atomic<bool> callbackDone{false};
    std::atomic<bool> stopReturned{false};
    std::atomic<int> framesAfterStop{0};
    camera.service->setFrameCallback([&](const CameraFrame&) {
        if (stopReturned) {
            ++framesAfterStop;
        }
        if (!inCallback.isSet()) {
            inCallback.set();
            release.wait();
            callbackDone = true;
        }
    });
    ASSERT_EQ(camera.service->run(), S_OK);
    ASSERT_TRUE(inCallback.wait());

    auto stopping = std::async(std::launch::async, [&] {
        const int32_t r = camera.service->stop();
        const bool doneFirst = callbackDone;
        stopReturned = true;
        return std::make_pair(r, doneFirst);
    });
    ASSERT_TRUE(camera.source().interruptSeen.wait());  // stop is under way
    // While the callback holds its frame, stop must not return. (A wrong stop would return
    // here; a right one can only time out.)
    EXPECT_EQ(stopping.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    release.set();
    const auto [result, callbackFinishedFirst] = stopping.get();
    EXPECT_EQ(result, S_OK);
    EXPECT_TRUE(callbackFinishedFirst);
    EXPECT_EQ(camera.source().stops, 1);
    camera.service->release();
    EXPECT_EQ(framesAfterStop, 0);
}

TEST(CameraStreaming, AFrameCapturedWhileStoppingIsDropped) {
    Event waiting;
    ScriptedCamera camera([&](ScriptedSource& s) {
        s.onWait = [&](ScriptedSource& self, const ScriptedSource::Deliver& deliver) {
            // The picture completes just as the stop request comes in.
            waiting.set();
            self.awaitInterrupt();
            self.deliverOne(deliver);
            return Wait::Frame;
        };
    });
    ASSERT_EQ(camera.service->open(0), S_OK);
    FrameLog log;
    camera.service->setFrameCallback([&](const CameraFrame& f) { log.add(f); });
    ASSERT_EQ(camera.service->run(), S_OK);
    ASSERT_TRUE(waiting.wait());
    ASSERT_EQ(camera.service->stop(), S_OK);
    EXPECT_EQ(camera.source().waits, 1);
    EXPECT_EQ(log.count(), 0u);
}

TEST(CameraStreaming, AFailingDeviceStopsTheStreamAndCanBeRunAgain) {
    Event failed;
    ScriptedCamera camera([&](ScriptedSource& s) {
        s.onWait = [&](ScriptedSource& self, const ScriptedSource::Deliver& deliver) {
            if (self.waits == 3) {
                failed.set();
                return Wait::Failed;
            }
            self.deliverOne(deliver);
            return Wait::Frame;
        };
    });
    ASSERT_EQ(camera.service->open(0), S_OK);
    FrameLog log;
    camera.service->setFrameCallback([&](const CameraFrame& f) { log.add(f); });
    ASSERT_EQ(camera.service->run(), S_OK);
    ASSERT_TRUE(failed.wait());
    // The streaming thread marks the stream stopped right after the failed wait; there is no
    // event for that but the state itself.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (camera.service->state() == CameraState::Running &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    EXPECT_EQ(camera.service->state(), CameraState::Stopped);
    EXPECT_EQ(camera.source().stops, 1);
    EXPECT_EQ(log.count(), 2u);

    ASSERT_EQ(camera.service->run(), S_OK);
    EXPECT_EQ(camera.source().starts, 2);
    ASSERT_TRUE(log.waitFor(3));
    camera.service->release();
}

TEST(CameraStreaming, ADeviceThatWillNotStartLeavesTheStreamStopped) {
    Event destroyed;
    ScriptedCamera camera([&](ScriptedSource& s) {
        s.startResult = E_FAIL;
        s.destroyed = &destroyed;
    });
    ASSERT_EQ(camera.service->open(0), S_OK);
    EXPECT_EQ(camera.service->run(), E_FAIL);
    EXPECT_EQ(camera.service->state(), CameraState::Stopped);
    EXPECT_EQ(camera.source().waits, 0);
    camera.service->release();
    EXPECT_TRUE(destroyed.isSet());
}

}  // namespace
