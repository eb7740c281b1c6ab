#pragma once

// Waiting for what another thread brings about. Every wait has a deadline and, when it runs
// out, says what it was waiting for, so a fault fails the test instead of hanging it.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/MessageLoop.h"

namespace testsupport {

// Polls a condition that raises no event of its own (a counter, a state) until it holds.
inline ::testing::AssertionResult waitFor(const std::function<bool()>& done,
                                          std::chrono::milliseconds deadline,
                                          const std::string& what) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return ::testing::AssertionFailure()
                   << "waited " << deadline.count() << " ms in vain for " << what;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return ::testing::AssertionSuccess();
}

// A flag one thread raises and others await.
class Event {
public:
    void set() {
        std::lock_guard<std::mutex> lock(mutex_);
        set_ = true;
        changed_.notify_all();
    }
    bool isSet() {
        std::lock_guard<std::mutex> lock(mutex_);
        return set_;
    }
    ::testing::AssertionResult wait(std::chrono::milliseconds deadline = std::chrono::seconds(10),
                                    const char* what = "an event") {
        std::unique_lock<std::mutex> lock(mutex_);
        if (changed_.wait_for(lock, deadline, [this] { return set_; })) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "waited " << deadline.count() << " ms for " << what;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool set_ = false;
};

// Makes a call that a fault could hang (a stop joining threads that never end). A call that
// has not returned by the deadline cannot be abandoned safely, so the test program ends with
// the message instead of waiting for the test runner's timeout.
inline void returnsWithin(std::chrono::milliseconds deadline, const char* what,
                          std::function<void()> call) {
    auto returned = std::make_shared<std::promise<void>>();
    std::future<void> done = returned->get_future();
    std::thread([call = std::move(call), returned] {
        call();
        returned->set_value();
    }).detach();
    if (done.wait_for(deadline) != std::future_status::ready) {
        std::fprintf(stderr, "FATAL: %s did not return within %lld ms\n", what,
                     static_cast<long long>(deadline.count()));
        std::fflush(stderr);
        std::_Exit(1);
    }
}

// What runLoop returns when its deadline, not the code under test, ended the loop.
constexpr int kLoopTimedOut = -0x7e57;

// Runs the UI loop until the code under test quits it (its code is returned), `done` holds
// (checked every 20 ms from a loop timer: returns 0) or the deadline passes.
inline int runLoop(std::chrono::milliseconds deadline, const std::function<bool()>& done = {}) {
    platform::MessageLoop& loop = platform::MessageLoop::ui();
    bool ending = false;  // one quit per run: a second would end the next run at once
    const auto end = [&](int code) {
        if (!ending) {
            ending = true;
            loop.quit(code);
        }
    };
    if (done) {
        loop.setTimer(0x7E58, 20, [&] {
            if (!ending && done()) {
                end(0);
            }
        });
    }
    loop.setTimer(0x7E57, static_cast<uint32_t>(deadline.count()), [&] { end(kLoopTimedOut); });
    const int code = loop.run();
    loop.killTimer(0x7E57);
    loop.killTimer(0x7E58);
    return code;
}

}  // namespace testsupport
