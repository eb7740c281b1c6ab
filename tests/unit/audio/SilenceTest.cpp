// The silence player over a scripted render endpoint: it keeps the device's buffer full of
// silence while it runs, and a device that fails leaves nothing running or open.
#include "audio/Silence.h"

#include <gtest/gtest.h>

#include "FakeAudioEndpoint.h"

namespace {

using fakeaudio::FakeDevice;

TEST(Silence, FillsWhatTheBufferLacksOnEveryEventUntilStopped) {
    fakeaudio::FakeFactory factory;
    FakeDevice& d = factory.device();
    Silence silence(factory);
    ASSERT_EQ(silence.Start(), 0);
    EXPECT_EQ(d.get(&FakeDevice::openedFlow), platform::DataFlow::Render);
    EXPECT_EQ(d.get(&FakeDevice::initializedFlags), platform::kStreamFlagsEventCallback);
    EXPECT_EQ(d.get(&FakeDevice::initializedFormat).bitsPerSample, 32);  // the mix format as is
    // Pre-filled with the whole buffer, then whatever the device has played of it.
    for (const uint32_t padding : {160u, 480u, 0u}) {
        const size_t calls = d.get(&FakeDevice::renderedFrames).size();
        {
            std::lock_guard<std::mutex> lock(d.mutex);
            d.padding = padding;
        }
        d.fireBufferEvent();
        ASSERT_TRUE(d.await([&] { return d.renderedFrames.size() > calls; }));
    }
    EXPECT_EQ(d.get(&FakeDevice::renderedFrames), (std::vector<uint32_t>{480, 320, 0, 480}));
    EXPECT_EQ(d.get(&FakeDevice::renderedFlags),
              std::vector<uint32_t>(4, platform::kBufferFlagsSilent));
    EXPECT_EQ(silence.Stop(), 0);
    EXPECT_EQ(d.stops, 1);
    EXPECT_EQ(d.endpointsAlive, 0);
    EXPECT_EQ(silence.Stop(), 0);   // a second stop has nothing to do
    ASSERT_EQ(silence.Start(), 0);  // and it can play again
    EXPECT_EQ(silence.Stop(), 0);
}

TEST(Silence, ADeviceThatFailsBeforePlayingFailsTheStartAndLeavesNothingOpen) {
    for (const char* step : {"enumerator", "endpoint", "service", "render"}) {
        fakeaudio::FakeFactory factory;
        factory.device().fail(step, platform::audiohr::kDeviceInvalidated);
        Silence silence(factory);
        EXPECT_EQ(silence.Start(), platform::audiohr::kFail) << step;
        EXPECT_EQ(factory.device().endpointsAlive, 0) << step;
        EXPECT_EQ(factory.device().starts, 0) << step;
        EXPECT_EQ(silence.Stop(), 0);  // nothing runs
    }
}

TEST(Silence, ADeviceThatFailsWhilePlayingEndsTheThreadAndStopStillSucceeds) {
    fakeaudio::FakeFactory factory;
    FakeDevice& d = factory.device();
    Silence silence(factory);
    ASSERT_EQ(silence.Start(), 0);
    d.fail("render", platform::audiohr::kDeviceInvalidated);
    d.fireBufferEvent();
    ASSERT_TRUE(d.await([&] { return d.endpointsAlive == 0; }));  // the stream is released
    EXPECT_EQ(silence.Stop(), 0);
}

}  // namespace
