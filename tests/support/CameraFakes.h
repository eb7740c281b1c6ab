#pragma once

// Scripted camera parts for the camera tests: a driver whose device list and failures are set
// by the test, a frame source whose every wait the test can steer, and a log of the frames a
// callback saw.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Await.h"
#include "base/HResult.h"
#include "platform/CameraDriver.h"

namespace camerafakes {

struct SeenFrame {
    uint32_t sequence = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    std::thread::id thread;
};

class FrameLog {
public:
    void add(const platform::CameraFrame& f) {
        std::lock_guard<std::mutex> lock(mutex_);
        frames_.push_back({f.sequence, f.width, f.height, f.stride, std::this_thread::get_id()});
        changed_.notify_all();
    }
    // True once at least n frames have arrived.
    bool waitFor(size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return frames_.size() >= n; });
    }
    size_t count() { return frames().size(); }
    std::vector<SeenFrame> frames() {
        std::lock_guard<std::mutex> lock(mutex_);
        return frames_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<SeenFrame> frames_;
};

// A source whose waits the test scripts. By default each wait hands over one 4 x 2 frame at
// once; `onWait` replaces that.
class ScriptedSource final : public platform::CameraFrameSource {
public:
    using Deliver = std::function<void(const platform::CameraFrame&)>;
    std::function<Wait(ScriptedSource&, const Deliver&)> onWait;
    int32_t startResult = S_OK;
    std::atomic<int> starts{0};
    std::atomic<int> stops{0};
    std::atomic<int> waits{0};
    testsupport::Event interruptSeen;

    platform::CameraSize size() const override { return {4, 2}; }
    int32_t start() override {
        ++starts;
        std::lock_guard<std::mutex> lock(mutex_);
        interrupted_ = false;
        return startResult;
    }
    void stop() override { ++stops; }
    Wait waitFrame(const Deliver& deliver) override {
        ++waits;
        if (onWait) {
            return onWait(*this, deliver);
        }
        deliverOne(deliver);
        return Wait::Frame;
    }
    void interrupt() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            interrupted_ = true;
            changed_.notify_all();
        }
        interruptSeen.set();
    }
    // For onWait: blocks until interrupt() (and forgets it).
    void awaitInterrupt() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return interrupted_; });
        interrupted_ = false;
    }
    void deliverOne(const Deliver& deliver) {
        platform::CameraFrame frame;
        frame.pixels = pixels_;
        frame.width = 4;
        frame.height = 2;
        frame.stride = 16;
        frame.sequence = sequence_++;
        deliver(frame);
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool interrupted_ = false;
    uint8_t pixels_[32] = {};
    uint32_t sequence_ = 0;
};

// Devices as the test lists them. open() makes a ScriptedSource the test can reach through
// `lastSource` (valid while the service keeps it) after `prepare` has set it up.
class ScriptedDriver final : public platform::CameraDriver {
public:
    std::vector<platform::CameraDevice> list;
    std::vector<bool> openable;  // positions beyond it open
    std::function<void(ScriptedSource&)> prepare;
    std::vector<int32_t> opened;  // positions asked for, in order
    ScriptedSource* lastSource = nullptr;

    explicit ScriptedDriver(size_t devices = 1, std::vector<bool> canOpen = {})
        : list(devices), openable(std::move(canOpen)) {}
    std::vector<platform::CameraDevice> devices() override { return list; }
    std::unique_ptr<platform::CameraFrameSource> open(int32_t position) override {
        opened.push_back(position);
        if (position < 0 || static_cast<size_t>(position) >= list.size() ||
            (static_cast<size_t>(position) < openable.size() && !openable[position])) {
            return nullptr;
        }
        auto source = std::make_unique<ScriptedSource>();
        if (prepare) {
            prepare(*source);
        }
        lastSource = source.get();
        return source;
    }
};

}  // namespace camerafakes
