#pragma once

#include <mutex>
#include <utility>

// Data and the lock that guards it in one type: the data can only be reached through a Handle,
// which holds the lock for as long as it lives.
template <typename T, typename Mutex = std::mutex>
class Guarded {
public:
    class Handle {
    public:
        Handle(T& value, Mutex& mutex) : lock_(mutex), value_(value) {}
        T* operator->() { return &value_; }
        T& operator*() { return value_; }

    private:
        std::unique_lock<Mutex> lock_;
        T& value_;
    };

    Guarded() = default;
    explicit Guarded(T value) : value_(std::move(value)) {}

    Handle lock() { return Handle(value_, mutex_); }

private:
    Mutex mutex_;
    T value_;
};
