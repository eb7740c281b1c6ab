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
#include <utility>
#include <vector>

#include "AudioSignals.h"
#include "platform/AudioEndpoint.h"
#include "platform/Clock.h"

namespace fakeaudio {

using platform::audiohr::kOk;

class ScriptedClock : public platform::Clock {
public:
    explicit ScriptedClock(uint32_t start = 1000) : now_(start) {}
    uint32_t nowMs() const override { return now_.load(); }
    void advance(uint32_t ms) { now_ += ms; }
    void set(uint32_t ms) { now_ = ms; }

private:
    std::atomic<uint32_t> now_;
};

using audiotest::floatMixFormat;
using audiotest::pcm16Format;

struct Packet {
    std::vector<uint8_t> data;  // frames * blockAlign bytes (garbage when silent)
    uint32_t frames = 0;
    bool silent = false;
};

// One scripted device: where it fails, what it delivers, what it was asked. Shared by the
// factory, the endpoints it makes and the test; every member is used under mutex.
struct FakeDevice {
    WaveFormat mixFormat = floatMixFormat(48000, 2);
    int32_t initializeResult = kOk;  // what opening a stream in the mix format gives
    std::deque<Packet> packets;      // what the device delivers

    WaveFormat initializedFormat;
    uint32_t initializedFlags = 0;
    int starts = 0;
    int stops = 0;
    int endpointsAlive = 0;
    uint64_t packetSizeQueries = 0;
    // Called on the capture thread as getBuffer hands out a packet, outside the mutex; lets a
    // test hold that thread mid-poll. Set before the capture thread starts.
    std::function<void()> onGetBuffer;

    std::mutex mutex;
    std::condition_variable changed;

    void pushPacket(Packet p) {
        std::lock_guard<std::mutex> lock(mutex);
        packets.push_back(std::move(p));
    }
    // A packet of 16-bit samples counting up from `first`, or one flagged silent whose bytes
    // are garbage (a silent packet reads as zeros whatever it holds). After the stream is made.
    void push(uint32_t frames, int16_t first, bool silent = false) {
        Packet p{
            std::vector<uint8_t>(frames * get(&FakeDevice::initializedFormat).blockAlign, 0x5A),
            frames, silent};
        for (size_t i = 0; !silent && i + 1 < p.data.size(); i += 2) {
            const auto u = static_cast<uint16_t>(first++);
            p.data[i] = static_cast<uint8_t>(u & 0xFF);
            p.data[i + 1] = static_cast<uint8_t>(u >> 8);
        }
        pushPacket(std::move(p));
    }
    // Waits until the predicate holds (checked under the mutex at each change).
    bool await(const std::function<bool()>& done) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(20), done);
    }
    uint64_t queries() { return get(&FakeDevice::packetSizeQueries); }
    bool awaitQueries(uint64_t n) {
        return await([&] { return packetSizeQueries >= n; });
    }
    // Until every pushed packet has been taken and its chunks are queued: the poll that took
    // the last one asks for the next packet size only after queuing them.
    bool awaitConsumed() {
        uint64_t afterTaking = 0;
        return await([&] { return (afterTaking = packetSizeQueries, packets.empty()); }) &&
               awaitQueries(afterTaking + 1);
    }
    template <typename T>
    T get(T FakeDevice::*field) {
        std::lock_guard<std::mutex> lock(mutex);
        return this->*field;
    }
};

class FakeEndpoint final : public platform::AudioEndpoint {
public:
    explicit FakeEndpoint(std::shared_ptr<FakeDevice> d) : d_(std::move(d)) {
        auto lock = hold();
        ++d_->endpointsAlive;
    }
    ~FakeEndpoint() override {
        auto lock = hold();
        --d_->endpointsAlive;
        d_->changed.notify_all();
    }
    int32_t activate() override { return kOk; }
    int32_t getMixFormat(WaveFormat* format) override {
        auto lock = hold();
        *format = d_->mixFormat;
        return kOk;
    }
    int32_t initialize(const WaveFormat& format, uint32_t streamFlags) override {
        auto lock = hold();
        d_->initializedFormat = format;
        d_->initializedFlags = streamFlags;
        return d_->initializeResult;
    }
    int32_t getService(Service) override { return kOk; }
    int32_t start() override { return count(&FakeDevice::starts); }
    int32_t stop() override { return count(&FakeDevice::stops); }
    int32_t getNextPacketSize(uint32_t* frames) override {
        auto lock = hold();
        ++d_->packetSizeQueries;
        d_->changed.notify_all();
        *frames = d_->packets.empty() ? 0 : d_->packets.front().frames;
        return kOk;
    }
    int32_t getBuffer(const uint8_t** data, uint32_t* frames, uint32_t* flags) override {
        if (d_->onGetBuffer) {
            d_->onGetBuffer();
        }
        auto lock = hold();
        if (d_->packets.empty()) {
            return 0x08890001;  // no data, which is no failure
        }
        held_ = std::move(d_->packets.front());
        d_->packets.pop_front();
        *data = held_.data.data();
        *frames = held_.frames;
        *flags = held_.silent ? platform::kBufferFlagsSilent : 0;
        return kOk;
    }
    int32_t releaseBuffer(uint32_t) override { return kOk; }
    // A render stream (the silence player's) takes whatever it is given and never asks.
    int32_t getBufferSize(uint32_t* frames) override { return *frames = 480, kOk; }
    int32_t getCurrentPadding(uint32_t* frames) override { return *frames = 0, kOk; }
    int32_t getRenderBuffer(uint32_t frames, uint8_t** data) override {
        render_.assign(frames * size_t{8}, 0);
        return *data = render_.data(), kOk;
    }
    int32_t releaseRenderBuffer(uint32_t, uint32_t) override { return kOk; }
    int32_t setEventHandle(std::function<void()>) override { return kOk; }

private:
    std::unique_lock<std::mutex> hold() { return std::unique_lock<std::mutex>(d_->mutex); }
    int32_t count(int FakeDevice::*calls) {
        auto lock = hold();
        ++(d_.get()->*calls);
        return kOk;
    }

    std::shared_ptr<FakeDevice> d_;
    Packet held_;
    std::vector<uint8_t> render_;
};

// Hands out endpoints: one device for every flow, or (separateFlows) one for capture and one
// for render, as a machine with a microphone and a playback device has.
class FakeFactory : public platform::AudioEndpointFactory {
public:
    explicit FakeFactory(bool separateFlows = false)
        : render_(std::make_shared<FakeDevice>()),
          capture_(separateFlows ? std::make_shared<FakeDevice>() : render_) {}
    FakeDevice& device(platform::DataFlow flow = platform::DataFlow::Render) {
        return flow == platform::DataFlow::Capture ? *capture_ : *render_;
    }
    int32_t createEnumerator(std::unique_ptr<platform::AudioEndpointEnumerator>* e) override {
        *e = std::make_unique<Enumerator>(*this);
        return kOk;
    }

private:
    struct Enumerator final : platform::AudioEndpointEnumerator {
        explicit Enumerator(FakeFactory& f) : factory(f) {}
        int32_t getDefaultAudioEndpoint(platform::DataFlow flow,
                                        std::unique_ptr<platform::AudioEndpoint>* e) override {
            const auto& d =
                flow == platform::DataFlow::Capture ? factory.capture_ : factory.render_;
            *e = std::make_unique<FakeEndpoint>(d);
            return kOk;
        }
        FakeFactory& factory;
    };

    std::shared_ptr<FakeDevice> render_;
    std::shared_ptr<FakeDevice> capture_;
};

}  // namespace fakeaudio
