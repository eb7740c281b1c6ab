#include "audio/Silence.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "ChildProcess.h"
#include "FakeAudioEndpoint.h"
#include "base/Log.h"

namespace {

using std::chrono::seconds;

class SilenceTest : public ::testing::Test {
  protected:
    void SetUp() override { EnableLog(dir_.file("trace.log")); }
    void TearDown() override { DisableLog(); }
    std::string log() const { return testsupport::readFile(dir_.file("trace.log")); }

    testsupport::TempDir dir_;
    fakeaudio::FakeFactory factory_;
};

TEST_F(SilenceTest, PlaysSilenceOnEveryBufferEventUntilStopped) {
    factory_.device().bufferFrames = 480;
    Silence silence(factory_);
    ASSERT_EQ(silence.Start(), 0);
    {
        fakeaudio::FakeDevice& d = factory_.device();
        std::lock_guard<std::mutex> lock(d.mutex);
        EXPECT_EQ(d.openedFlow, platform::DataFlow::Render);
        EXPECT_EQ(d.initializedFlags, platform::kStreamFlagsEventCallback);
        // The mix format itself, unadjusted.
        EXPECT_EQ(d.initializedFormat.bitsPerSample, 32);
        EXPECT_EQ(d.starts, 1);
        // Pre-filled: the whole buffer, flagged silent.
        ASSERT_EQ(d.renderedFrames.size(), 1u);
        EXPECT_EQ(d.renderedFrames[0], 480u);
        EXPECT_EQ(d.renderedFlags[0], platform::kBufferFlagsSilent);
        d.padding = 160;
    }
    factory_.device().fireBufferEvent();
    ASSERT_TRUE(factory_.device().awaitRenderCalls(2, seconds(10)));
    {
        fakeaudio::FakeDevice& d = factory_.device();
        std::lock_guard<std::mutex> lock(d.mutex);
        EXPECT_EQ(d.renderedFrames[1], 480u - 160u);
        EXPECT_EQ(d.renderedFlags[1], platform::kBufferFlagsSilent);
        d.padding = 480;  // full: nothing fits
    }
    factory_.device().fireBufferEvent();
    ASSERT_TRUE(factory_.device().awaitRenderCalls(3, seconds(10)));
    {
        fakeaudio::FakeDevice& d = factory_.device();
        std::lock_guard<std::mutex> lock(d.mutex);
        EXPECT_EQ(d.renderedFrames[2], 0u);
        d.padding = 0;
    }
    // Still playing after a full buffer.
    factory_.device().fireBufferEvent();
    ASSERT_TRUE(factory_.device().awaitRenderCalls(4, seconds(10)));

    EXPECT_EQ(silence.Stop(), 0);
    EXPECT_EQ(factory_.device().stops, 1);
    EXPECT_EQ(factory_.device().endpointsAlive, 0);  // nothing left open
    EXPECT_EQ(silence.Stop(), 0);                    // a second stop has nothing to do

    const std::string text = log();
    EXPECT_NE(text.find("[Silence]"), std::string::npos);
    const size_t playing = text.find("Start fill zero loop");
    const size_t ended = text.find("================== End silence thread ====================");
    ASSERT_NE(ended, std::string::npos) << text;
    EXPECT_LT(playing, ended);
    // And it can play again.
    ASSERT_EQ(silence.Start(), 0);
    EXPECT_EQ(silence.Stop(), 0);
}

TEST_F(SilenceTest, ARefusedRenderClientEndsTheThreadAndStartReportsItsResult) {
    factory_.device().serviceResult = platform::audiohr::kWrongEndpointType;
    Silence silence(factory_);
    EXPECT_EQ(silence.Start(), platform::audiohr::kFail);
    EXPECT_EQ(factory_.device().endpointsAlive, 0);
    EXPECT_EQ(factory_.device().starts, 0);
    const std::string text = log();
    EXPECT_NE(text.find("IAudioClient::GetService(IAudioRenderClient) failed: hr 0x88890003"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Thread aborted before starting to play silence: hr = 0x88890003"),
              std::string::npos)
        << text;
    EXPECT_EQ(silence.Stop(), 0);  // nothing runs
}

TEST_F(SilenceTest, AFailingPreFillStopsTheClientAndSaysSoOnStandardOutput) {
    factory_.device().renderResult = platform::audiohr::kDeviceInvalidated;
    Silence silence(factory_);
    testing::internal::CaptureStdout();
    EXPECT_EQ(silence.Start(), platform::audiohr::kFail);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "TODO: unregister with MMCSS\n");
    EXPECT_NE(log().find("IAudioRenderClient::GetBuffer failed on pre-fill: hr = 0x88890004"),
              std::string::npos);
    EXPECT_EQ(factory_.device().stops, 1);
}

TEST_F(SilenceTest, NoDefaultDeviceFailsBeforeAnyThread) {
    factory_.device().createEnumeratorResult = platform::audiohr::kServiceNotRunning;
    Silence silence(factory_);
    testing::internal::CaptureStdout();
    EXPECT_EQ(silence.Start(), platform::audiohr::kFail);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "CoCreateInstance(IMMDeviceEnumerator) failed: hr = 0x88890010\n");
    EXPECT_NE(log().find("get_def_device failed: hr = 0x88890010"), std::string::npos);
    EXPECT_EQ(log().find("Create silence thread"), std::string::npos);

    factory_.device().createEnumeratorResult = 0;
    factory_.device().defaultEndpointResult = platform::audiohr::kNotFound;
    testing::internal::CaptureStdout();
    EXPECT_EQ(silence.Start(), platform::audiohr::kFail);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "IMMDeviceEnumerator::GetDefaultAudioEndpoint failed: hr = 0x80070490\n");
}

TEST_F(SilenceTest, AFailureWhilePlayingEndsTheThreadQuietlyAndStopStillSucceeds) {
    Silence silence(factory_);
    ASSERT_EQ(silence.Start(), 0);
    factory_.device().renderResult = platform::audiohr::kDeviceInvalidated;
    factory_.device().fireBufferEvent();
    // The thread leaves its loop and releases the stream.
    {
        fakeaudio::FakeDevice& d = factory_.device();
        std::unique_lock<std::mutex> lock(d.mutex);
        ASSERT_TRUE(d.changed.wait_for(lock, seconds(10), [&] { return d.endpointsAlive == 0; }));
    }
    EXPECT_EQ(silence.Stop(), 0);
    EXPECT_EQ(log().find("End silence thread"), std::string::npos);
}

}  // namespace
