// Entity numbers of a STEP file mapped to dense slots 0, 1, 2, ... in order
// of first insertion.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace velmarin::ifc {

class EntityIndex {
public:
    // Exporters number entities from 1 upwards with few gaps, so when the
    // largest number is within a small multiple of the count, a direct table
    // (one memory access per lookup) replaces the hash map. Its size stays
    // proportional to `count`, whatever the numbers.
    EntityIndex(std::uint64_t largest, std::size_t count);

    // The number's slot and whether it was new.
    std::pair<std::size_t, bool> insert(std::uint64_t number);
    std::optional<std::size_t> find(std::uint64_t number) const;
    std::size_t size() const noexcept { return size_; }

private:
    std::vector<std::size_t> direct_;  // empty when hashed
    std::unordered_map<std::uint64_t, std::size_t> hashed_;
    std::size_t size_ = 0;
};

}  // namespace velmarin::ifc
