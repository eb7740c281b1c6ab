#include "engine/RecordingClock.h"

RecordingClock& RecordingClock::instance() {
    static RecordingClock* clock = new RecordingClock();  // lives until the process ends
    return *clock;
}

void RecordingClock::setSource(const platform::Clock& source) {
    std::lock_guard<std::mutex> lock(clockLock_);
    source_ = &source;
}

void RecordingClock::start() {
    std::lock_guard<std::mutex> lock(clockLock_);
    recordStart_ = source_->nowMs();
    pauseMark_ = -1;
}

void RecordingClock::pause() {
    std::lock_guard<std::mutex> lock(clockLock_);
    pauseMark_ = source_->nowMs();
}

void RecordingClock::resume() {
    std::lock_guard<std::mutex> lock(clockLock_);
    if (pauseMark_ >= 0) {
        recordStart_ += static_cast<int64_t>(source_->nowMs()) - pauseMark_;
        pauseMark_ = -1;
    }
}

uint32_t RecordingClock::elapsedMs() const {
    std::lock_guard<std::mutex> lock(clockLock_);
    return static_cast<uint32_t>(static_cast<int64_t>(source_->nowMs()) - recordStart_);
}

int64_t RecordingClock::recordStart() const {
    std::lock_guard<std::mutex> lock(clockLock_);
    return recordStart_;
}

int64_t RecordingClock::pauseMark() const {
    std::lock_guard<std::mutex> lock(clockLock_);
    return pauseMark_;
}
