// Internal faults: a broken invariant inside the system.
//
// Operations report the failures a caller can cause as values (error.hpp).
// A fault is different: it means the code itself is wrong, so it unwinds to
// the Python boundary, which turns it into the internal-fault exception.
// Every indexed access whose bound is not evident from the surrounding code
// goes through `checked`, so a fault is never undefined behaviour.
#pragma once

#include <cstddef>
#include <exception>
#include <source_location>
#include <string>

namespace velmarin {

class InternalFault : public std::exception {
public:
    InternalFault(std::string message, std::source_location where) : message_(std::move(message)), where_(where) {}

    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const noexcept { return message_; }
    const std::source_location& where() const noexcept { return where_; }

private:
    std::string message_;
    std::source_location where_;
};

[[noreturn]] inline void fault(std::string message, std::source_location where = std::source_location::current()) {
    throw InternalFault(std::move(message), where);
}

inline void check(bool holds, const char* message, std::source_location where = std::source_location::current()) {
    if (!holds) fault(message, where);
}

// The fault of `checked`, kept out of line so that the check itself stays
// small enough to be inlined on hot paths.
[[noreturn, gnu::cold, gnu::noinline]] inline void index_fault(std::size_t i, std::size_t size,
                                                               std::source_location where) {
    fault("index " + std::to_string(i) + " out of range for length " + std::to_string(size), where);
}

// Bounds-checked element access for any random-access container.
template <class Container>
decltype(auto) checked(Container& c, std::size_t i, std::source_location where = std::source_location::current()) {
    if (i >= c.size()) [[unlikely]]
        index_fault(i, c.size(), where);
    return c[i];
}

}  // namespace velmarin
