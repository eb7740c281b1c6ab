#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

// A few auto-reset events waited on together: waitAny() returns the lowest signalled index
// and resets that event, so an earlier event wins when several are set at once.
class AutoResetEvents {
  public:
    explicit AutoResetEvents(size_t count) : signalled_(count, false) {}

    // Any thread.
    void signal(size_t index);
    // Blocks until one is signalled.
    size_t waitAny();

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<bool> signalled_;  // guarded by mutex_
};
