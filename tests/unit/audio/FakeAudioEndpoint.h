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
#include <string>
#include <utility>
#include <vector>

#include "AudioTestHelpers.h"
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
    // The step that fails ("enumerator", "endpoint", "activate", "mixFormat", "initialize",
    // "service", "start", "stop", "getBuffer", "render"), and with what.
    std::string failing;
    int32_t failCode = platform::audiohr::kFail;
    std::deque<Packet> packets;   // capture script
    uint32_t bufferFrames = 480;  // render script
    uint32_t padding = 0;

    WaveFormat initializedFormat;
    uint32_t initializedFlags = 0;
    platform::DataFlow openedFlow = platform::DataFlow::Render;
    int starts = 0;
    int stops = 0;
    int endpointsAlive = 0;
    uint64_t packetSizeQueries = 0;
    std::vector<uint32_t> renderedFrames;  // one entry per releaseRenderBuffer
    std::vector<uint32_t> renderedFlags;
    std::function<void()> signal;  // the render stream's buffer event
    // Called on the capture thread as getBuffer hands out a packet, outside the mutex; lets a
    // test hold that thread mid-poll. Set before the capture thread starts.
    std::function<void()> onGetBuffer;

    std::mutex mutex;
    std::condition_variable changed;

    int32_t result(const char* step) const { return failing == step ? failCode : kOk; }
    // A step under the mutex: its result, and a note of having been asked when it succeeds.
    template <typename T = int>
    int32_t step(const char* name, T FakeDevice::*note = nullptr, T value = T{}) {
        std::lock_guard<std::mutex> lock(mutex);
        if (note && result(name) == kOk) {
            this->*note = value;
        }
        return result(name);
    }
    void fail(const char* step, int32_t code) {
        std::lock_guard<std::mutex> lock(mutex);
        failing = step;
        failCode = code;
    }
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
    // Calls the event the render stream was given, as the device does when it wants data.
    void fireBufferEvent() {
        if (auto s = get(&FakeDevice::signal)) {
            s();
        }
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
        d_->signal = nullptr;
        d_->changed.notify_all();
    }
    int32_t activate() override { return step("activate"); }
    int32_t getMixFormat(WaveFormat* format) override {
        auto lock = hold();
        *format = d_->mixFormat;
        return d_->result("mixFormat");
    }
    int32_t initialize(const WaveFormat& format, uint32_t streamFlags) override {
        auto lock = hold();
        d_->initializedFormat = format;
        d_->initializedFlags = streamFlags;
        return d_->result("initialize");
    }
    int32_t getService(Service) override { return step("service"); }
    int32_t start() override { return step("start", &FakeDevice::starts); }
    int32_t stop() override { return step("stop", &FakeDevice::stops); }
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
        if (d_->result("getBuffer") < 0 || d_->packets.empty()) {
            return d_->packets.empty() ? 0x08890001 : d_->failCode;  // no data is no failure
        }
        held_ = std::move(d_->packets.front());
        d_->packets.pop_front();
        *data = held_.data.data();
        *frames = held_.frames;
        *flags = held_.silent ? platform::kBufferFlagsSilent : 0;
        return kOk;
    }
    int32_t releaseBuffer(uint32_t) override { return kOk; }
    int32_t getBufferSize(uint32_t* frames) override {
        *frames = d_->get(&FakeDevice::bufferFrames);
        return kOk;
    }
    int32_t getCurrentPadding(uint32_t* frames) override {
        *frames = d_->get(&FakeDevice::padding);
        return step("render");
    }
    int32_t getRenderBuffer(uint32_t frames, uint8_t** data) override {
        render_.assign(frames * size_t{8} + 1, 0xAB);  // room for any test format
        *data = render_.data();
        return step("render");
    }
    int32_t releaseRenderBuffer(uint32_t frames, uint32_t flags) override {
        auto lock = hold();
        d_->renderedFrames.push_back(frames);
        d_->renderedFlags.push_back(flags);
        d_->changed.notify_all();
        return d_->result("render");
    }
    int32_t setEventHandle(std::function<void()> signal) override {
        auto lock = hold();
        d_->signal = std::move(signal);
        return kOk;
    }

private:
    std::unique_lock<std::mutex> hold() { return std::unique_lock<std::mutex>(d_->mutex); }
    int32_t step(const char* name, int FakeDevice::*count = nullptr) {
        auto lock = hold();
        if (count) {
            ++(d_.get()->*count);
        }
        return d_->result(name);
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
        const int32_t hr = render_->step("enumerator");
        if (hr == kOk) {
            *e = std::make_unique<Enumerator>(*this);
        }
        return hr;
    }

private:
    struct Enumerator final : platform::AudioEndpointEnumerator {
        explicit Enumerator(FakeFactory& f) : factory(f) {}
        int32_t getDefaultAudioEndpoint(platform::DataFlow flow,
                                        std::unique_ptr<platform::AudioEndpoint>* e) override {
            const auto& d =
                flow == platform::DataFlow::Capture ? factory.capture_ : factory.render_;
            const int32_t hr = d->step("endpoint", &FakeDevice::openedFlow, flow);
            if (hr == kOk) {
                *e = std::make_unique<FakeEndpoint>(d);
            }
            return hr;
        }
        FakeFactory& factory;
    };

    std::shared_ptr<FakeDevice> render_;
    std::shared_ptr<FakeDevice> capture_;
};

}  // namespace fakeaudio
