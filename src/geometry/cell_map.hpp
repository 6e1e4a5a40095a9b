// The weld map of vertex welding: integer cell keys to the position of the
// cell's first vertex in the welded list.
//
// Open addressing with linear probing over 32-byte slots, each holding the
// whole key beside its hash tag and cell number. Welding time on large
// meshes is bounded by cache misses: a slot that only pointed into a list of
// keys would cost a second miss per lookup, and a node-based map chases a
// bucket list.
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

    std::size_t size() const noexcept { return cells_; }

private:
    struct Slot {
        CellKey key;
        std::uint32_t tag;   // the key's hash; also its home slot
        std::uint32_t cell;  // cell number + 1; 0 marks a free slot
    };

    void grow();

    std::vector<Slot, HugePageAllocator<Slot>> slots_;  // a power of two in length
    std::size_t mask_ = 0;
    std::size_t cells_ = 0;
};

}  // namespace velmarin
