#include "platform/WorkerThread.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <pthread.h>
#endif

#include <atomic>
#include <climits>
#include <future>
#include <memory>
#include <thread>

#include "Await.h"

namespace {

using std::chrono::hours;
using std::chrono::milliseconds;

TEST(WorkerThread, RunsUntilTheIterationSaysStopAndAStopCutsTheSleepShort) {
    std::atomic<int> count{0};
    WorkerThread counting(
        "count", [&] { return ++count < 5; }, milliseconds(0));
    EXPECT_TRUE(counting.start());
    counting.join();
    EXPECT_EQ(count.load(), 5);
    EXPECT_FALSE(counting.running());

    WorkerThread* self = nullptr;
    WorkerThread sleepy(
        "sleepy", [&] { return !self->stopRequested(); }, hours(1));
    self = &sleepy;
    sleepy.start();
    sleepy.requestStop();  // without the wake this join would take an hour
    sleepy.join();
}

TEST(WorkerThread, SuspendWaitsForTheIterationInFlightAndThenNothingRuns) {
    // Each of the two iterations says it has begun and waits for the test to let it end.
    testsupport::Event began[2], mayEnd[2];
    std::atomic<int> count{0};
    WorkerThread* self = nullptr;
    WorkerThread worker(
        "gated",
        [&] {
            if (const int i = count; i < 2) {
                began[i].set();
                EXPECT_TRUE(mayEnd[i].wait(std::chrono::seconds(10), "the test"));
            }
            ++count;
            return !self->stopRequested();
        },
        milliseconds(1));
    self = &worker;
    worker.start();
    ASSERT_TRUE(began[0].wait(std::chrono::seconds(10), "the first iteration"));

    std::atomic<bool> suspended{false};
    std::thread suspender([&] {
        worker.suspend();
        suspended = true;
    });
    // Only once the request is registered may the iteration finish; otherwise the worker
    // could run on into a second iteration before suspend() is even called.
    ASSERT_TRUE(testsupport::waitFor([&] { return worker.suspendRequested(); },
                                     std::chrono::seconds(10), "suspend() to be registered"));
    EXPECT_FALSE(suspended.load()) << "suspend() returned while an iteration was in flight";
    mayEnd[0].set();
    suspender.join();
    EXPECT_EQ(count.load(), 1);

    worker.wake();  // parked: a wake runs nothing
    EXPECT_EQ(count.load(), 1);
    worker.resume();
    ASSERT_TRUE(began[1].wait(std::chrono::seconds(10), "resume() to release the thread"));
    worker.requestStop();
    mayEnd[1].set();
    worker.join();
    EXPECT_EQ(count.load(), 2);
}

TEST(WorkerThread, SuspendOfAThreadNotRunningReturnsAndTheDestructorReleasesAParkedOne) {
    WorkerThread idle(
        "idle", [] { return false; }, milliseconds(1));
    idle.suspend();  // not started
    idle.resume();
    idle.start();
    idle.join();
    idle.suspend();  // ended

    std::atomic<bool> stop{false};
    {
        WorkerThread parked(
            "parked", [&] { return !stop.load(); }, milliseconds(1));
        parked.start();
        parked.suspend();
        stop = true;
    }  // must not hang: ctest's timeout is the deadline here
}

#ifndef _WIN32  // glibc sets the default stack of new threads
// While it lives, no thread can be made: the default stack asked for is larger than any
// address space (a real failure of the thread library, not a stand-in).
class NoThreadsCanBeMade {
public:
    NoThreadsCanBeMade() {
        pthread_getattr_default_np(&saved_);
        pthread_attr_t huge;
        pthread_attr_init(&huge);
        pthread_attr_setstacksize(&huge, SIZE_MAX / 2);
        pthread_setattr_default_np(&huge);
        pthread_attr_destroy(&huge);
    }
    ~NoThreadsCanBeMade() {
        pthread_setattr_default_np(&saved_);
        pthread_attr_destroy(&saved_);
    }

private:
    pthread_attr_t saved_;
};

TEST(WorkerThread, AThreadThatCouldNotBeMadeIsNotRunningAndNothingWaitsForIt) {
    auto worker = std::make_shared<WorkerThread>(
        "unborn", [] { return true; }, std::chrono::milliseconds(1));
    bool started = true;
    {
        NoThreadsCanBeMade noThreads;
        EXPECT_NO_THROW(started = worker->start());
    }
    EXPECT_FALSE(started);
    EXPECT_FALSE(worker->running());
    // On a thread of its own, which keeps the worker alive should a call hang.
    std::promise<void> returned;
    std::future<void> done = returned.get_future();
    std::thread([worker, returned = std::move(returned)]() mutable {
        worker->suspend();
        worker->resume();
        worker->requestStop();
        worker->join();
        returned.set_value();
    }).detach();
    ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready)
        << "suspend, resume or stop waited for a thread that was never made";
}
#endif

}  // namespace
