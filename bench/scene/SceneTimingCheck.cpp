// The test scene itself: a flash reaches the screen and its click reaches the sound server's
// sink at the same instant. Watched from outside: the centre pixel read from the X server and
// the sink's monitor read from the sound server, both stamped on the monotonic clock.
#include <gtest/gtest.h>
#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "TestServers.h"

// Last: Xlib's macros (None, Bool, Status) would break the test framework's headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

const auto* const kX = ::testing::AddGlobalTestEnvironment(new testsupport::XvfbEnvironment);
const auto* const kPulse = ::testing::AddGlobalTestEnvironment(new testsupport::PulseEnvironment);

using SteadyClock = std::chrono::steady_clock;

double msOf(SteadyClock::time_point t) {
    return std::chrono::duration<double, std::milli>(t.time_since_epoch()).count();
}

// Times at which the pixel at (x, y) of the screen turned white after being dark.
std::vector<double> watchPixel(int x, int y, const std::atomic<bool>& stop) {
    std::vector<double> onsets;
    std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr), XCloseDisplay);
    if (!display) {
        return onsets;
    }
    const Window root = DefaultRootWindow(display.get());
    bool wasWhite = true;  // an onset needs a dark reading first
    while (!stop.load()) {
        const auto before = SteadyClock::now();
        XImage* image = XGetImage(display.get(), root, x, y, 1, 1, AllPlanes, ZPixmap);
        const auto after = SteadyClock::now();
        if (image == nullptr) {
            break;
        }
        const bool white = (XGetPixel(image, 0, 0) & 0xffffff) == 0xffffff;
        XDestroyImage(image);
        if (white && !wasWhite) {
            // The server read the pixel somewhere between request and reply.
            onsets.push_back((msOf(before) + msOf(after)) / 2.0);
        }
        wasWhite = white;
        std::this_thread::sleep_for(std::chrono::microseconds(500));  // polling pace
    }
    return onsets;
}

struct SimpleCloser {
    void operator()(pa_simple* s) const { pa_simple_free(s); }
};

// Times at which the sink's monitor rose above a quarter of full scale after 100 ms of quiet.
std::vector<double> watchSink(const std::atomic<bool>& stop, std::atomic<bool>& listening) {
    std::vector<double> onsets;
    constexpr int kRate = 48000;
    constexpr int kBlock = kRate / 1000;  // 1 ms per read
    const pa_sample_spec spec{PA_SAMPLE_S16LE, kRate, 1};
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.fragsize = kBlock * 2;
    int error = 0;
    std::unique_ptr<pa_simple, SimpleCloser> stream(
        pa_simple_new(nullptr, "probe", PA_STREAM_RECORD, "testsink.monitor", "probe", &spec,
                      nullptr, &attr, &error));
    listening.store(true);
    if (!stream) {
        return onsets;
    }
    int16_t block[kBlock];
    int quietSamples = 0;
    while (!stop.load()) {
        if (pa_simple_read(stream.get(), block, sizeof block, &error) < 0) {
            break;
        }
        const double now = msOf(SteadyClock::now());
        // The newest sample read was captured `latency` ago.
        const pa_usec_t latency = pa_simple_get_latency(stream.get(), &error);
        const double end = now - (latency == static_cast<pa_usec_t>(-1) ? 0.0 : latency / 1000.0);
        for (int i = 0; i < kBlock; ++i) {
            if (std::abs(block[i]) < 32768 / 4) {
                ++quietSamples;
                continue;
            }
            if (quietSamples >= kRate / 10) {
                onsets.push_back(end - static_cast<double>(kBlock - i) * 1000.0 / kRate);
            }
            quietSamples = 0;
        }
    }
    return onsets;
}

TEST(SceneTiming, FlashAndClickReachScreenAndSinkTogether) {
    testsupport::TempDir dir;
    constexpr int kWidth = 320;
    constexpr int kHeight = 240;
    constexpr int kSeconds = 6;

    std::atomic<bool> listening{false};
    std::atomic<bool> stop{false};
    std::vector<double> clicks;
    std::thread sink([&] { clicks = watchSink(stop, listening); });
    while (!listening.load()) {
        std::this_thread::yield();
    }

    testsupport::ChildProcess::Options options;
    options.stdoutPath = dir.file("scene.out");
    testsupport::ChildProcess scene(
        {testsupport::binaryDir() + "/av-scene", "--width", std::to_string(kWidth), "--height",
         std::to_string(kHeight), "--seconds", std::to_string(kSeconds)},
        options);
    // Watched once the window is up: before, the root window's pattern shows.
    ASSERT_TRUE(testsupport::waitForFile(
        dir.file("scene.out"),
        [](const std::string& out) { return out.find("ready\n") != std::string::npos; },
        std::chrono::seconds(20)));
    std::vector<double> flashes;
    std::thread screen([&] { flashes = watchPixel(kWidth / 2, kHeight / 2, stop); });
    const int code = scene.wait(std::chrono::seconds(kSeconds + 10));
    // Once the window is gone the root window's pattern shows through; stop before that.
    stop.store(true);
    screen.join();
    sink.join();
    ASSERT_EQ(code, 0) << testsupport::readFile(dir.file("scene.out"));

    // One flash and one click per second after the first, none lost, each pair together. A
    // busy machine can hold up the scene or a watcher for a while now and then; the typical
    // pair shows what the scene does.
    const std::string sceneOut = testsupport::readFile(dir.file("scene.out"));
    ASSERT_EQ(flashes.size(), static_cast<size_t>(kSeconds - 1)) << sceneOut;
    ASSERT_EQ(clicks.size(), flashes.size()) << sceneOut;
    std::vector<double> offsets;
    for (size_t i = 0; i < flashes.size(); ++i) {
        offsets.push_back(clicks[i] - flashes[i]);
        EXPECT_LT(std::fabs(offsets.back()), 100.0) << "pair " << i << "\n" << sceneOut;
        std::printf("flash %.1f click %.1f offset %+.1f ms\n", flashes[i] - flashes[0],
                    clicks[i] - flashes[0], offsets.back());
    }
    std::sort(offsets.begin(), offsets.end());
    EXPECT_LT(std::fabs(offsets[offsets.size() / 2]), 5.0) << sceneOut;
}

}  // namespace
