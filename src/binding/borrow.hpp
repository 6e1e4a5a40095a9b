// The borrow flag every object carries, and the guards that hold a borrow.
//
// Reads take a shared borrow, writes an exclusive one, for one call at most.
// Under the interpreter lock a conflict can only come from code that runs in
// the middle of a call (a finaliser, a __float__ method), which is exactly
// the case the flag exists to catch.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <utility>

#include "binding/python.hpp"
#include "core/fault.hpp"

namespace velmarin::binding {

class BorrowFlag {
public:
    static constexpr std::uintptr_t exclusive = ~std::uintptr_t{0};

    bool try_share() noexcept {
        std::uintptr_t seen = word_.load(std::memory_order_relaxed);
        do {
            if (seen == exclusive) return false;
        } while (!word_.compare_exchange_weak(seen, seen + 1, std::memory_order_acquire, std::memory_order_relaxed));
        return true;
    }
    void unshare() noexcept { word_.fetch_sub(1, std::memory_order_release); }

    // Whether a shared borrow would be granted now. A read that runs no
    // Python code before it ends cannot meet a writer that arrives later,
    // so for it this glance stands for taking and releasing the borrow,
    // and spares a walk over many objects (a graph's edges) two atomic
    // writes to each.
    bool shareable() const noexcept { return word_.load(std::memory_order_acquire) != exclusive; }

    bool try_take_exclusive() noexcept {
        std::uintptr_t expected = 0;
        return word_.compare_exchange_strong(expected, exclusive, std::memory_order_acquire, std::memory_order_relaxed);
    }
    void release_exclusive() noexcept { word_.store(0, std::memory_order_release); }

private:
    std::atomic<std::uintptr_t> word_{0};
};

// A held borrow; releases it on destruction. `take` sets the interpreter's
// RuntimeError and returns nothing when the borrow is refused.
template <bool Exclusive>
class Borrow {
public:
    static std::optional<Borrow> take(BorrowFlag& flag) {
        if constexpr (Exclusive) {
            if (flag.try_take_exclusive()) return Borrow(flag);
            PyErr_SetString(PyExc_RuntimeError, "Already borrowed");
        } else {
            if (flag.try_share()) return Borrow(flag);
            PyErr_SetString(PyExc_RuntimeError, "Already mutably borrowed");
        }
        return std::nullopt;
    }

    // A borrow of an object that the call reaches through another one (the
    // nodes of a graph). A conflict there cannot come from the arguments, so
    // it is an internal fault rather than the caller's RuntimeError.
    static Borrow hold(BorrowFlag& flag) {
        if constexpr (Exclusive) {
            if (flag.try_take_exclusive()) return Borrow(flag);
            fault("Already borrowed");
        } else {
            if (flag.try_share()) return Borrow(flag);
            fault("Already mutably borrowed");
        }
    }

    Borrow(Borrow&& other) noexcept : flag_(std::exchange(other.flag_, nullptr)) {}
    Borrow& operator=(Borrow&&) = delete;
    ~Borrow() {
        if (!flag_) return;
        if constexpr (Exclusive) {
            flag_->release_exclusive();
        } else {
            flag_->unshare();
        }
    }

private:
    explicit Borrow(BorrowFlag& flag) : flag_(&flag) {}
    BorrowFlag* flag_;
};

using SharedBorrow = Borrow<false>;
using ExclusiveBorrow = Borrow<true>;

}  // namespace velmarin::binding
