#include "platform/WorkerThread.h"

#include <system_error>
#include <utility>

#include "platform/ThreadPriority.h"

WorkerThread::WorkerThread(std::string name, std::function<bool()> iteration,
                           std::chrono::milliseconds sleep)
    : name_(std::move(name)), iteration_(std::move(iteration)), sleep_(sleep) {}

WorkerThread::~WorkerThread() {
    resume();
    join();
}

bool WorkerThread::start() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_ || thread_.joinable()) {
        return false;
    }
    // Running only once the thread exists: a thread that was never made would leave suspend()
    // waiting for it forever. The lock is held throughout, so the new thread cannot mark its
    // end before it is marked running.
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        return false;
    }
    running_ = true;
    return true;
}

void WorkerThread::run() {
    platform::setCurrentThreadName(name_.c_str());
    while (iteration_()) {
        std::unique_lock<std::mutex> lock(mutex_);
        const auto deadline = std::chrono::steady_clock::now() + sleep_;
        changed_.wait_until(lock, deadline, [this] { return suspendRequested_ || wakeRequested_; });
        wakeRequested_ = false;
        if (suspendRequested_) {
            parked_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return !suspendRequested_; });
            parked_ = false;
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = false;
    changed_.notify_all();
}

void WorkerThread::suspend() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!running_) {
        return;
    }
    suspendRequested_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return parked_ || !running_; });
}

void WorkerThread::resume() {
    std::lock_guard<std::mutex> lock(mutex_);
    suspendRequested_ = false;
    changed_.notify_all();
}

void WorkerThread::wake() {
    std::lock_guard<std::mutex> lock(mutex_);
    wakeRequested_ = true;
    changed_.notify_all();
}

void WorkerThread::requestStop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopRequested_ = true;
    wakeRequested_ = true;
    changed_.notify_all();
}

bool WorkerThread::stopRequested() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stopRequested_;
}

bool WorkerThread::suspendRequested() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return suspendRequested_;
}

bool WorkerThread::running() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_;
}

void WorkerThread::join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
}
