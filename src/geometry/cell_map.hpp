// The weld map of vertex welding: integer cell keys to the position of the
// cell's first vertex in the welded list.
//
// Open addressing with linear probing over 8-byte slots (a hash tag and an
// index into the keys, which are kept in insertion order). Welding time on
// large meshes is bounded by cache misses: a node-based map chases a bucket
// list per lookup, and a table of whole keys is four times larger.
#pragma once

#include <cstdint>
#include <vector>

#include "core/huge_pages.hpp"

namespace velmarin {

struct CellKey {
    std::int64_t x, y, z;
    bool operator==(const CellKey&) const = default;
};

class CellMap {
public:
    // Sized for `expected` distinct cells; grows past that if needed.
    explicit CellMap(std::size_t expected);

    // The number of the cell `key` falls into: cells are numbered 0, 1, 2,
    // ... in order of their first key.
    std::uint64_t find_or_insert(const CellKey& key);

    // Starts loading the slot where `key` would be looked for first.
    void prefetch(const CellKey& key) const noexcept;

    // Once that slot has arrived: starts loading the key it points to, which
    // a lookup compares against.
    void prefetch_key(const CellKey& key) const noexcept;

    std::size_t size() const noexcept { return keys_.size(); }

private:
    struct Slot {
        std::uint32_t tag;   // low half of the key's hash; also its home slot
        std::uint32_t cell;  // cell number + 1; 0 marks a free slot
    };

    void grow();

    std::vector<Slot, HugePageAllocator<Slot>> slots_;  // a power of two in length
    std::size_t mask_ = 0;
    std::vector<CellKey, HugePageAllocator<CellKey>> keys_;
};

}  // namespace velmarin
