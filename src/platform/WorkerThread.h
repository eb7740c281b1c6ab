#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// A worker loop: runs `iteration` again and again with a sleep between two runs. The sleep is
// the loop boundary: suspend() parks the thread there and returns once it is parked, so a
// suspended worker never holds a lock (a thread frozen at an arbitrary instruction could).
// The loop ends when `iteration` returns false.
class WorkerThread {
public:
    WorkerThread(std::string name, std::function<bool()> iteration,
                 std::chrono::milliseconds sleep);
    ~WorkerThread();  // joins; the owner ends the loop first (see requestStop)

    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Creates the thread. False when it could not be made; the worker then stays not running
    // and suspend(), resume() and join() return at once.
    bool start();

    // Parks the thread at its next loop boundary and waits until it is parked (or has ended).
    // Returns at once when the thread is not running.
    void suspend();
    // Releases a parked thread; it runs its next iteration at once.
    void resume();

    // Cuts the current sleep short; the iteration decides whether the loop goes on.
    void wake();
    // Tells the loop body it should end (stopRequested() turns true) and wakes the thread.
    // A suspended thread stays parked until resume().
    void requestStop();
    bool stopRequested() const;
    // Whether a suspend() is pending or holds the thread parked.
    bool suspendRequested() const;

    void join();
    bool running() const;
    const std::string& name() const { return name_; }

private:
    void run();

    const std::string name_;
    const std::function<bool()> iteration_;
    const std::chrono::milliseconds sleep_;

    // Written by the owner's thread and the worker under mutex_; read by both under mutex_.
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool suspendRequested_ = false;
    bool parked_ = false;
    bool wakeRequested_ = false;
    bool stopRequested_ = false;
    bool running_ = false;

    std::thread thread_;  // owner's thread only
};
