#pragma once

#include <cstdint>
#include <mutex>

#include "platform/Clock.h"

// The process-wide clock of every video timestamp: milliseconds since the recording started,
// with paused time removed. Readings are taken under the clock's lock; start, pause and resume
// change it only while the readers are suspended or not yet running (the lock is taken anyway,
// which costs nothing then and keeps the data race-free).
class RecordingClock {
  public:
    static RecordingClock& instance();

    // The recording starts now: recordStart = now, no pause pending.
    void start();
    // A pause begins now.
    void pause();
    // A pending pause ends: recordStart moves forward by its length.
    void resume();

    // (now - recordStart) as an unsigned 32-bit number of milliseconds.
    uint32_t elapsedMs() const;

    int64_t recordStart() const;
    int64_t pauseMark() const;  // -1 when no pause is pending

    // Tests read a scripted clock in place of the system's.
    explicit RecordingClock(const platform::Clock& source = platform::Clock::system())
        : source_(&source) {}
    void setSource(const platform::Clock& source);

  private:
    const platform::Clock* source_;

    // Written by the UI thread (start, pause, resume), read by the video thread, the camera
    // streaming thread and the encoder, all under clockLock_.
    mutable std::mutex clockLock_;
    int64_t recordStart_ = 0;
    int64_t pauseMark_ = -1;
};
