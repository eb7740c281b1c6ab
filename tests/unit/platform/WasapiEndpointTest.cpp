// The WASAPI endpoints against Wine's sound driver, which plays into the private PulseAudio
// server: a null sink is the default render device and its monitor the default capture one.
// A tone rendered through one stream must come back through the other at its pitch and level.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "AudioSignals.h"
#include "platform/AudioEndpoint.h"

namespace {

using platform::AudioEndpoint;
using platform::audiohr::kOk;
using namespace std::chrono_literals;

constexpr double kTone = 440;
constexpr double kAmplitude = 0.5;

std::unique_ptr<AudioEndpoint> openEndpoint(platform::DataFlow flow, WaveFormat* format) {
    std::unique_ptr<platform::AudioEndpointEnumerator> enumerator;
    EXPECT_EQ(platform::AudioEndpointFactory::system().createEnumerator(&enumerator), kOk);
    if (!enumerator) {
        return nullptr;
    }
    std::unique_ptr<AudioEndpoint> endpoint;
    EXPECT_EQ(enumerator->getDefaultAudioEndpoint(flow, &endpoint), kOk);
    if (!endpoint) {
        return nullptr;
    }
    EXPECT_EQ(endpoint->activate(), kOk);
    EXPECT_EQ(endpoint->getMixFormat(format), kOk);
    return endpoint;
}

bool isFloat(const WaveFormat& f) {
    return f.formatTag == WaveFormat::kIeeeFloat ||
           (f.formatTag == WaveFormat::kExtensible &&
            f.subFormat == WaveFormat::SubFormat::IeeeFloat);
}

// Sample `i` of channel 0 of interleaved frames in the format.
float sampleAt(const uint8_t* data, const WaveFormat& f, uint32_t frame) {
    const uint8_t* at = data + static_cast<size_t>(frame) * f.blockAlign;
    if (isFloat(f)) {
        float v = 0;
        std::memcpy(&v, at, 4);
        return v;
    }
    int16_t v = 0;
    std::memcpy(&v, at, 2);
    return static_cast<float>(v) / 32768.0f;
}

void writeSine(uint8_t* data, const WaveFormat& f, uint32_t frames, long& position) {
    for (uint32_t i = 0; i < frames; ++i, ++position) {
        const double v = kAmplitude * std::sin(2 * M_PI * kTone * position / f.samplesPerSec);
        for (uint16_t c = 0; c < f.channels; ++c) {
            uint8_t* at = data + static_cast<size_t>(i) * f.blockAlign + c * f.bitsPerSample / 8u;
            if (isFloat(f)) {
                const auto s = static_cast<float>(v);
                std::memcpy(at, &s, 4);
            } else {
                const auto s = static_cast<int16_t>(std::lround(v * 32767));
                std::memcpy(at, &s, 2);
            }
        }
    }
}

// An event-driven render stream (as the silence plays) asks for data at each period once
// started, on the endpoint's thread; stopping it ends that thread.
TEST(Wasapi, AnEventDrivenRenderStreamAsksForDataWhileStarted) {
    WaveFormat format;
    auto render = openEndpoint(platform::DataFlow::Render, &format);
    ASSERT_NE(render, nullptr);
    ASSERT_EQ(render->initialize(format, platform::kStreamFlagsEventCallback), kOk);
    ASSERT_EQ(render->getService(AudioEndpoint::Service::Render), kOk);
    std::mutex mutex;
    std::condition_variable due;
    int signals = 0;  // written by the endpoint's thread, read here
    ASSERT_EQ(render->setEventHandle([&] {
        std::lock_guard<std::mutex> lock(mutex);
        ++signals;
        due.notify_all();
    }),
              kOk);
    uint32_t bufferFrames = 0;
    ASSERT_EQ(render->getBufferSize(&bufferFrames), kOk);
    uint8_t* data = nullptr;
    ASSERT_EQ(render->getRenderBuffer(bufferFrames, &data), kOk);
    ASSERT_EQ(render->releaseRenderBuffer(bufferFrames, platform::kBufferFlagsSilent), kOk);
    ASSERT_EQ(render->start(), kOk);
    {
        std::unique_lock<std::mutex> lock(mutex);
        EXPECT_TRUE(due.wait_for(lock, 5s, [&] { return signals >= 3; }))
            << "only " << signals << " requests for data in 5 s";
    }
    EXPECT_EQ(render->stop(), kOk);
}

// A tone rendered to the default device is recorded by its loopback (the capture device in
// its place under Wine) at its pitch and level.
TEST(Wasapi, AToneRenderedIsCapturedAtItsPitchAndLevel) {
    WaveFormat renderFormat, captureFormat;
    auto render = openEndpoint(platform::DataFlow::Render, &renderFormat);
    auto capture = openEndpoint(platform::DataFlow::Render, &captureFormat);
    ASSERT_TRUE(render && capture);

    ASSERT_EQ(capture->initialize(captureFormat, platform::kStreamFlagsLoopback), kOk);
    ASSERT_EQ(capture->getService(AudioEndpoint::Service::Capture), kOk);
    ASSERT_EQ(render->initialize(renderFormat, 0), kOk);
    ASSERT_EQ(render->getService(AudioEndpoint::Service::Render), kOk);
    uint32_t bufferFrames = 0;
    ASSERT_EQ(render->getBufferSize(&bufferFrames), kOk);
    ASSERT_GE(bufferFrames, 48000u / 2) << "a second's buffer, as asked";

    long position = 0;
    auto topUp = [&] {
        uint32_t padding = 0;
        ASSERT_EQ(render->getCurrentPadding(&padding), kOk);
        const uint32_t frames = bufferFrames - std::min(padding, bufferFrames);
        uint8_t* data = nullptr;
        ASSERT_GE(render->getRenderBuffer(frames, &data), 0);
        writeSine(data, renderFormat, frames, position);
        ASSERT_GE(render->releaseRenderBuffer(frames, 0), 0);
    };
    std::vector<float> captured;
    auto drain = [&] {
        uint32_t packet = 0;
        while (capture->getNextPacketSize(&packet) == kOk && packet > 0) {
            const uint8_t* data = nullptr;
            uint32_t frames = 0, flags = 0;
            ASSERT_EQ(capture->getBuffer(&data, &frames, &flags), kOk);
            for (uint32_t i = 0; i < frames; ++i) {
                captured.push_back((flags & platform::kBufferFlagsSilent) != 0
                                       ? 0.0f
                                       : sampleAt(data, captureFormat, i));
            }
            ASSERT_EQ(capture->releaseBuffer(frames), kOk);
        }
    };

    topUp();
    ASSERT_EQ(capture->start(), kOk);
    ASSERT_EQ(render->start(), kOk);
    auto toneStart = [&] {
        for (size_t i = 0; i < captured.size(); ++i) {
            if (std::fabs(captured[i]) > kAmplitude / 4) {
                return i;
            }
        }
        return captured.size();
    };
    // The tone's start plus a second of it; both buffers hold far more than a poll's period.
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (captured.size() < toneStart() + 48000 + 4800) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline)
            << "captured " << captured.size() << " frames, the tone from " << toneStart();
        std::this_thread::sleep_for(20ms);
        topUp();
        drain();
    }
    EXPECT_EQ(render->stop(), kOk);
    EXPECT_EQ(capture->stop(), kOk);

    // A tenth of a second in, for a second.
    const size_t from = toneStart() + 4800;
    const size_t to = from + 48000;
    EXPECT_NEAR(audiotest::dominantFrequency(captured, 48000, from, to, 300, 600, 2), kTone, 2);
    EXPECT_NEAR(audiotest::rms(captured, from, to), kAmplitude / std::sqrt(2.0), 0.05);
}

}  // namespace
