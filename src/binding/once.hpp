// One-time initialisation that cannot deadlock against the interpreter lock.
//
// A thread that finds the initialisation running elsewhere waits for it with
// the interpreter lock released, so the initialising thread (which may itself
// give the lock up, say while importing) can always finish.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>

#include "binding/python.hpp"

namespace velmarin::binding {

template <class T>
class GilSafeOnce {
public:
    // `init` returns std::optional<T>; an empty one means it failed with the
    // interpreter's error indicator set, and a later call tries again.
    // Returns nullptr on failure.
    template <class Init>
    T* get(Init&& init) {
        if (ready_.load(std::memory_order_acquire)) return &*value_;
        PyThreadState* state = PyEval_SaveThread();
        std::unique_lock lock(mutex_);
        PyEval_RestoreThread(state);
        if (!ready_.load(std::memory_order_relaxed)) {
            std::optional<T> made = init();
            if (!made) return nullptr;
            value_.emplace(std::move(*made));
            ready_.store(true, std::memory_order_release);
        }
        return &*value_;
    }

private:
    std::atomic<bool> ready_{false};
    std::mutex mutex_;
    std::optional<T> value_;
};

}  // namespace velmarin::binding
