#pragma once

#include <cstdint>
#include <memory>
#include <thread>

#include "audio/AutoResetEvents.h"
#include "audio/SilenceBgThread.h"
#include "platform/AudioEndpoint.h"

// Plays an endless stream of silence on the default render endpoint while the speaker is
// recorded, so that its loopback stream keeps delivering packets when nothing else plays.
class Silence {
  public:
    explicit Silence(
        platform::AudioEndpointFactory& factory = platform::AudioEndpointFactory::system());
    ~Silence();  // stops a player still running
    Silence(const Silence&) = delete;
    Silence& operator=(const Silence&) = delete;

    // 0 once silence plays; E_FAIL for every failure (nothing is left running then).
    int32_t Start();
    // 0 when the thread ended normally (or none ran), 128 when its exit code was not 0.
    int32_t Stop();

  private:
    platform::AudioEndpointFactory& factory_;
    // The owner's thread only; the thread arguments and events outlive the playback thread,
    // which is joined before they go.
    std::unique_ptr<AutoResetEvents> startEvents_;
    std::unique_ptr<AutoResetEvents> playEvents_;
    std::unique_ptr<SilenceThreadArgs> args_;
    std::thread thread_;
};
