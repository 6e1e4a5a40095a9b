// The generic parallel runners on the worker pool: one task per position,
// each writing only its own slot, and a few different tasks side by side.
// When no task throws, the outcome is that of running them in order,
// whatever the scheduling.
#pragma once

#include <atomic>
#include <cstddef>
#include <exception>
#include <utility>
#include <vector>

#include <tbb/parallel_for.h>
#include <tbb/parallel_invoke.h>

namespace velmarin {

// A task that throws (an internal fault, or running out of memory) stops
// further tasks from starting: positions not yet begun are skipped, lower
// ones included. Once the running tasks have finished, the failure of the
// lowest position among the tasks that ran and threw is rethrown on the
// calling thread. So some failure is always rethrown and no results are
// returned when any task throws, and a position that alone fails is the
// one reported; but where several fail, the one reported can lie above
// the lowest failing position, which a run in order would have reported,
// because that one was skipped. Exceptions never cross the pool's own
// machinery.
template <class Result, class Task>
std::vector<Result> run_by_position(std::size_t count, const Task& task) {
    std::vector<Result> results(count);
    std::vector<std::exception_ptr> failures(count);
    std::atomic<bool> failed{false};
    tbb::parallel_for(std::size_t{0}, count, [&](std::size_t i) {
        if (failed.load(std::memory_order_relaxed)) return;
        try {
            results[i] = task(i);
        } catch (...) {
            failures[i] = std::current_exception();
            failed.store(true, std::memory_order_relaxed);
        }
    });
    for (const std::exception_ptr& failure : failures) {
        if (failure) std::rethrow_exception(failure);
    }
    return results;
}

// Runs the tasks side by side, each writing only what it alone writes. All
// run to the end; then the failure of the first failing task in argument
// order is rethrown on the calling thread, as running them in that order
// would have reported it.
template <class... Tasks>
void run_side_by_side(const Tasks&... tasks) {
    std::exception_ptr failures[sizeof...(Tasks)];
    auto guarded = [&failures](const auto& task, std::size_t slot) {
        return [&task, &failure = failures[slot]] {
            try {
                task();
            } catch (...) {
                failure = std::current_exception();
            }
        };
    };
    [&]<std::size_t... slots>(std::index_sequence<slots...>) {
        tbb::parallel_invoke(guarded(tasks, slots)...);
    }(std::index_sequence_for<Tasks...>{});
    for (const std::exception_ptr& failure : failures) {
        if (failure) std::rethrow_exception(failure);
    }
}

}  // namespace velmarin
