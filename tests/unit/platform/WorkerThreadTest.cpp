#include "platform/WorkerThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// A gate the test opens to let one loop iteration through; lets the test know exactly where
// the worker is without sleeping.
class Gate {
public:
    void waitInside() {
        std::unique_lock<std::mutex> lock(m_);
        inside_ = true;
        cv_.notify_all();
        cv_.wait(lock, [this] { return open_; });
        open_ = false;
        inside_ = false;
    }
    void awaitInside() {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait(lock, [this] { return inside_; });
    }
    void open() {
        std::lock_guard<std::mutex> lock(m_);
        open_ = true;
        cv_.notify_all();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool inside_ = false;
    bool open_ = false;
};

TEST(WorkerThread, RunsUntilTheIterationSaysStop) {
    std::atomic<int> count{0};
    WorkerThread worker("count", [&] { return ++count < 5; }, std::chrono::milliseconds(0));
    worker.start();
    worker.join();
    EXPECT_EQ(count.load(), 5);
    EXPECT_FALSE(worker.running());
}

TEST(WorkerThread, SuspendWaitsForTheIterationInFlightAndThenNothingRuns) {
    Gate gate;
    std::atomic<int> count{0};
    std::atomic<bool> suspendReturned{false};
    WorkerThread* self = nullptr;
    WorkerThread worker(
        "gated",
        [&] {
            gate.waitInside();
            ++count;
            return !self->stopRequested();
        },
        std::chrono::milliseconds(1));
    self = &worker;
    worker.start();
    gate.awaitInside();  // the worker is inside an iteration

    std::thread suspender([&] {
        worker.suspend();
        suspendReturned = true;
    });
    // Only once the request is registered may the iteration finish; otherwise the worker
    // could run on into a second iteration before suspend() is even called.
    while (!worker.suspendRequested()) {
        std::this_thread::yield();
    }
    // suspend() cannot return while the iteration is in flight; let it finish.
    EXPECT_FALSE(suspendReturned.load());
    gate.open();
    suspender.join();
    EXPECT_TRUE(suspendReturned.load());
    const int parkedAt = count.load();
    EXPECT_EQ(parkedAt, 1);

    // While parked nothing runs, however long: the worker is not inside the gate.
    worker.wake();
    EXPECT_EQ(count.load(), parkedAt);

    worker.resume();
    gate.awaitInside();
    EXPECT_EQ(count.load(), parkedAt);  // second iteration entered, not yet counted
    worker.requestStop();
    gate.open();
    worker.join();
    EXPECT_EQ(count.load(), 2);
    EXPECT_FALSE(worker.running());
}

TEST(WorkerThread, StopRequestCutsTheSleepShort) {
    std::atomic<int> count{0};
    WorkerThread* self = nullptr;
    WorkerThread worker(
        "sleepy",
        [&] {
            ++count;
            return !self->stopRequested();
        },
        std::chrono::hours(1));
    self = &worker;
    worker.start();
    worker.requestStop();  // without the wake this join would take an hour
    worker.join();
    EXPECT_GE(count.load(), 1);
}

TEST(WorkerThread, SuspendAndResumeOfAThreadThatIsNotRunningReturnAtOnce) {
    WorkerThread worker("idle", [] { return false; }, std::chrono::milliseconds(1));
    worker.suspend();
    worker.resume();
    worker.start();
    worker.join();
    worker.suspend();  // ended: returns at once
    EXPECT_FALSE(worker.running());
}

TEST(WorkerThread, DestructorReleasesAParkedThread) {
    std::atomic<bool> stop{false};
    {
        WorkerThread worker("parked", [&] { return !stop.load(); }, std::chrono::milliseconds(1));
        worker.start();
        worker.suspend();
        stop = true;
    }  // must not hang
    EXPECT_TRUE(stop.load());
}

}  // namespace
