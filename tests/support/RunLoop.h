#pragma once

// Runs the UI thread's message loop until a condition holds, for tests of what reaches a
// program through that loop (window events, posted messages, what the X server shows).

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "platform/MessageLoop.h"

namespace testsupport {

// Checks the condition every 20 ms from a loop timer (what it looks at may raise no event of
// its own); fails with `what` when it has not held by the deadline.
inline ::testing::AssertionResult runLoopUntil(
    const std::function<bool()>& done, const char* what,
    std::chrono::milliseconds deadline = std::chrono::seconds(20)) {
    platform::MessageLoop& loop = platform::MessageLoop::ui();
    bool ending = false;  // one quit per run: a second would end the next run at once
    const auto end = [&](int code) {
        if (!ending) {
            ending = true;
            loop.quit(code);
        }
    };
    loop.setTimer(0x7E57, 20, [&] {
        if (!ending && done()) {
            end(0);
        }
    });
    loop.setTimer(0x7E58, static_cast<uint32_t>(deadline.count()), [&] { end(1); });
    const int code = loop.run();
    loop.killTimer(0x7E57);
    loop.killTimer(0x7E58);
    if (code == 0) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "waited " << deadline.count() << " ms in vain for " << what;
}

}  // namespace testsupport
