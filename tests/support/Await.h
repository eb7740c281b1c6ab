#pragma once

// Waiting with a deadline: every wait in a test ends, and says what did not come.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/MessageLoop.h"

namespace testsupport {

// Polls until the condition holds; false when the timeout passes first. Only for what gives no
// event to wait on (another process's files, a thread's state seen from outside).
inline bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// What runLoop returns when its guard, not the code under test, ended the loop.
constexpr int kLoopTimedOut = -0x7e57;

// Runs the UI loop until the code under test quits it, or the timeout passes.
inline int runLoop(std::chrono::milliseconds timeout) {
    constexpr uint32_t kGuard = 0x7e57;
    platform::MessageLoop& loop = platform::MessageLoop::ui();
    loop.setTimer(kGuard, static_cast<uint32_t>(timeout.count()),
                  [&loop] { loop.quit(kLoopTimedOut); });
    const int code = loop.run();
    loop.killTimer(kGuard);
    return code;
}

// Holds a thread at a known point: the thread calls pass() and stays there until the test
// open()s the gate, which lets one pass through; awaitHeld() tells the test it is there.
class Gate {
public:
    void pass() {
        std::unique_lock<std::mutex> lock(mutex_);
        held_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
        open_ = held_ = false;
    }
    bool awaitHeld(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, timeout, [this] { return held_; });
    }
    void open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;  // both under mutex_
    bool open_ = false;
};

}  // namespace testsupport
