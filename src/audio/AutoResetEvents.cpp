#include "audio/AutoResetEvents.h"

void AutoResetEvents::signal(size_t index) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < signalled_.size()) {
        signalled_[index] = true;
        changed_.notify_all();
    }
}

size_t AutoResetEvents::waitAny() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        for (size_t i = 0; i < signalled_.size(); ++i) {
            if (signalled_[i]) {
                signalled_[i] = false;
                return i;
            }
        }
        changed_.wait(lock);
    }
}
