#include "platform/WorkerThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Await.h"

namespace {

using std::chrono::hours;
using std::chrono::milliseconds;

TEST(WorkerThread, RunsUntilTheIterationSaysStopAndAStopCutsTheSleepShort) {
    std::atomic<int> count{0};
    WorkerThread counting(
        "count", [&] { return ++count < 5; }, milliseconds(0));
    counting.start();
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
    testsupport::Gate gate;
    std::atomic<int> count{0};
    WorkerThread* self = nullptr;
    WorkerThread worker(
        "gated",
        [&] {
            gate.pass();
            ++count;
            return !self->stopRequested();
        },
        milliseconds(1));
    self = &worker;
    worker.start();
    ASSERT_TRUE(gate.awaitHeld()) << "the first iteration did not begin";

    std::atomic<bool> suspended{false};
    std::thread suspender([&] {
        worker.suspend();
        suspended = true;
    });
    // Only once the request is registered may the iteration finish; otherwise the worker
    // could run on into a second iteration before suspend() is even called.
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return worker.suspendRequested(); }, std::chrono::seconds(10)))
        << "suspend() was not registered";
    EXPECT_FALSE(suspended.load()) << "suspend() returned while an iteration was in flight";
    gate.open();
    suspender.join();
    EXPECT_EQ(count.load(), 1);

    worker.wake();  // parked: a wake runs nothing
    EXPECT_EQ(count.load(), 1);
    worker.resume();
    ASSERT_TRUE(gate.awaitHeld()) << "resume() did not release the thread";
    worker.requestStop();
    gate.open();
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

}  // namespace
