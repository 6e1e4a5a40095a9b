// Entity numbers of a STEP file mapped to dense slots 0, 1, 2, ... in order
// of first insertion, filled as the text is read.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/huge_pages.hpp"

namespace velmarin::ifc {

class EntityIndex {
public:
    // The number's slot and whether it was new.
    std::pair<std::size_t, bool> insert(std::uint64_t number);
    std::size_t size() const noexcept { return size_; }
    // The number's slot, if it has one.
    std::optional<std::size_t> find(std::uint64_t number) const;

    // The numbers so far are expected to reach `factor` times as far.
    void expect_growth(double factor);

private:
    std::pair<std::size_t, bool> insert_hashed(std::uint64_t number);

    // Exporters number entities from 1 upwards with few gaps, so a number
    // below a bound proportional to the count so far goes to a direct table
    // (one memory access per lookup) and only the others to a hash map. The
    // table's size stays below twice the bound, whatever the numbers.
    std::vector<std::uint32_t, HugePageAllocator<std::uint32_t>>
        direct_;  // slots by number, for the numbers below its size
    std::unordered_map<std::uint64_t, std::size_t> hashed_;
    std::size_t size_ = 0;
};

}  // namespace velmarin::ifc
