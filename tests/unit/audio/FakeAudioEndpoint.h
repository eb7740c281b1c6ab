#pragma once

// A scripted audio endpoint for tests where exact packet timing matters, and a scripted clock.
// The test decides what each packet holds and when it arrives; the code under test sees an
// ordinary endpoint.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/AudioEndpoint.h"
#include "platform/Clock.h"

namespace fakeaudio {

class ScriptedClock : public platform::Clock {
  public:
    explicit ScriptedClock(uint32_t start = 1000) : now_(start) {}
    uint32_t nowMs() const override { return now_.load(); }
    void advance(uint32_t ms) { now_ += ms; }
    void set(uint32_t ms) { now_ = ms; }

  private:
    std::atomic<uint32_t> now_;
};

struct Packet {
    std::vector<uint8_t> data;  // frames * blockAlign bytes (ignored when silent)
    uint32_t frames = 0;
    bool silent = false;
};

// One scripted device: what it reports, where it fails, what it was asked. Shared by the
// factory, the endpoints it makes and the test; every member is used under mutex.
struct FakeDevice {
    WaveFormat mixFormat;
    // Results of each step (negative = fail there).
    int32_t createEnumeratorResult = 0;
    int32_t defaultEndpointResult = 0;
    int32_t activateResult = 0;
    int32_t mixFormatResult = 0;
    int32_t initializeResult = 0;
    int32_t serviceResult = 0;
    int32_t startResult = 0;
    int32_t stopResult = 0;
    int32_t getBufferResult = 0;
    int32_t renderResult = 0;  // padding, get and release of the render buffer

    // Capture script.
    std::deque<Packet> packets;

    // Render script.
    uint32_t bufferFrames = 480;
    uint32_t padding = 0;

    // Observations.
    bool initialized = false;
    WaveFormat initializedFormat;
    uint32_t initializedFlags = 0;
    platform::DataFlow openedFlow = platform::DataFlow::Render;
    int starts = 0;
    int stops = 0;
    int endpointsAlive = 0;
    uint64_t packetSizeQueries = 0;
    std::vector<uint32_t> renderedFrames;  // one entry per releaseRenderBuffer
    std::vector<uint32_t> renderedFlags;
    std::function<void()> signal;

    std::mutex mutex;
    std::condition_variable changed;
};

// Hands out endpoints on one FakeDevice, whatever the flow asked for.
class FakeFactory : public platform::AudioEndpointFactory {
  public:
    FakeFactory();
    int32_t createEnumerator(
        std::unique_ptr<platform::AudioEndpointEnumerator>* enumerator) override;

    FakeDevice& device() { return *device_; }

    // Script helpers (thread-safe).
    void setMixFormat(const WaveFormat& f);
    void pushPacket(Packet p);
    // A packet of `frames` frames whose 16-bit samples count up from `first`.
    void pushCounting(uint32_t frames, int16_t first);
    void pushSilent(uint32_t frames);
    size_t pendingPackets();
    // Waits until the capture side has asked for the next packet size `count` more times than
    // when `since` was taken (see queries()).
    uint64_t queries();
    bool awaitQueries(uint64_t atLeast, std::chrono::milliseconds timeout);
    // Render side: calls the event the stream was given, as the device does when it wants data.
    void fireBufferEvent();
    size_t renderCalls();
    bool awaitRenderCalls(size_t atLeast, std::chrono::milliseconds timeout);

  private:
    std::shared_ptr<FakeDevice> device_;
};

// The common float stereo mix format at a rate.
WaveFormat floatMixFormat(uint32_t rate, uint16_t channels, bool extensible = true);
WaveFormat pcm16Format(uint32_t rate, uint16_t channels);

}  // namespace fakeaudio
