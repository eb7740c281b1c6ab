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
    // Called on the capture thread as getBuffer hands out a packet, outside the mutex; lets a
    // test hold that thread mid-poll. Set before the capture thread starts.
    std::function<void()> onGetBuffer;

    std::mutex mutex;
    std::condition_variable changed;

    // Script helpers (thread-safe).
    void pushPacket(Packet p);
    // A packet of `frames` frames whose 16-bit samples count up from `first`.
    void pushCounting(uint32_t frames, int16_t first);
    void pushSilent(uint32_t frames);
    size_t pendingPackets();
    // How often the capture side has asked for the next packet size, and a wait for a count.
    uint64_t queries();
    bool awaitQueries(uint64_t atLeast, std::chrono::milliseconds timeout);
    // Waits until every pushed packet has been taken and its chunks are queued: the poll that
    // took the last one asks for the next packet size only after queuing them.
    bool awaitConsumed(std::chrono::milliseconds timeout);
    // Calls the event the render stream was given, as the device does when it wants data.
    void fireBufferEvent();
    size_t renderCalls();
    bool awaitRenderCalls(size_t atLeast, std::chrono::milliseconds timeout);
    // Waits until the predicate holds (checked under the mutex at each change).
    bool await(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    int get(int FakeDevice::*field);
    void set(int32_t FakeDevice::*field, int32_t value);
};

// Hands out endpoints: one device for every flow, or (separateFlows) one for capture and one
// for render, as a machine with a microphone and a playback device has.
class FakeFactory : public platform::AudioEndpointFactory {
  public:
    explicit FakeFactory(bool separateFlows = false);
    int32_t createEnumerator(
        std::unique_ptr<platform::AudioEndpointEnumerator>* enumerator) override;

    FakeDevice& device(platform::DataFlow flow = platform::DataFlow::Render) {
        return flow == platform::DataFlow::Capture ? *capture_ : *render_;
    }
    void setMixFormat(const WaveFormat& f);  // of every device

  private:
    std::shared_ptr<FakeDevice> render_;
    std::shared_ptr<FakeDevice> capture_;
};

// The common float stereo mix format at a rate.
WaveFormat floatMixFormat(uint32_t rate, uint16_t channels, bool extensible = true);
WaveFormat pcm16Format(uint32_t rate, uint16_t channels);

}  // namespace fakeaudio
