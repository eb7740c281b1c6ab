#pragma once

#include <cstdint>
#include <functional>

namespace platform {

// The UI thread's message loop. Everything that touches application state runs on it; other
// threads reach it only through post() and quit().
class MessageLoop {
public:
    virtual ~MessageLoop() = default;

    // Runs on the calling thread (the UI thread) until quit(); returns quit's exit code.
    virtual int run() = 0;

    // Thread-safe. Ends run() with this exit code once the work already posted has run.
    virtual void quit(int exitCode) = 0;

    // Thread-safe. Queues the work to run on the UI thread, in posting order.
    virtual void post(std::function<void()> work) = 0;

    // UI thread. A repeating timer: onTick runs on the UI thread every intervalMs until
    // killTimer. Setting an id again replaces its interval and handler, as SetTimer does.
    virtual void setTimer(uint32_t id, uint32_t intervalMs, std::function<void()> onTick) = 0;
    virtual void killTimer(uint32_t id) = 0;

    // The loop of the UI thread, created on first use.
    static MessageLoop& ui();
};

}  // namespace platform
