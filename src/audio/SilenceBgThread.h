#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "audio/AutoResetEvents.h"
#include "platform/AudioEndpoint.h"

// What the silence player hands its playback thread.
struct SilenceThreadArgs {
    // Index 0: playback runs; index 1: the thread has ended (it signals this last).
    static constexpr size_t kStarted = 0;
    static constexpr size_t kEnded = 1;
    // Index 0: stop playing; index 1: the stream wants data.
    static constexpr size_t kStop = 0;
    static constexpr size_t kBuffer = 1;

    std::unique_ptr<platform::AudioEndpoint> device;  // moved into the thread
    AutoResetEvents* startEvents = nullptr;
    AutoResetEvents* playEvents = nullptr;
    // Written by the playback thread at each step; read by the starter once the thread ended.
    std::atomic<int32_t> result{platform::audiohr::kUnexpected};
    // Written by the playback thread before it signals kEnded; read after it was joined.
    uint32_t exitCode = 0;
};

// The playback thread: an endless event-driven stream of silence on the render endpoint until
// the stop event.
class SilenceBgThread {
  public:
    static void Run(SilenceThreadArgs& args);
};
