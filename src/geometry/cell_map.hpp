// The weld map of vertex welding: integer cell keys to the position of the
// cell's first vertex in the welded list.
//
// Open addressing with linear probing; a slot holds its key beside the
// key's hash and the cell number. Welding time on large meshes is bounded
// by cache misses: a slot that only pointed into a list of keys would cost
// a second miss per lookup, and a node-based map chases a bucket list.
//
// Nearly every mesh has cell keys of at most 21 bits a component: those
// are packed into one 64-bit word and kept in 16-byte slots, so that the
// table is half the size of one holding the three components, with half the
// misses and half the memory to clear. Other keys (huge coordinates, tiny
// tolerances, saturated NaN and infinities) go to a second table that holds
// them whole; both number their cells from one count.
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

    // A key's packed form and hash, worked out once: when its slot is
    // requested, some time before the lookup. A key that does not pack is
    // looked up whole instead (find_or_insert_whole): rare enough to be
    // worked out again then, which keeps what waits for the lookup small.
    struct Lookup {
        std::uint64_t packed;
        std::uint32_t tag;
        bool packs() const noexcept { return packed != unpackable; }
    };

    // Starts loading the slot where `key` would be looked for first (for a
    // key that does not pack, some slot: harmless).
    Lookup start_lookup(const CellKey& key) const noexcept {
        const std::uint64_t packed = pack(key);
        const std::uint32_t tag = hash_of(packed);
        __builtin_prefetch(&slots_[tag & mask_]);
        return {packed, tag};
    }

    // The number of the cell the key falls into: cells are numbered 0, 1,
    // 2, ... in order of their first key. Only for a key that packs.
    std::uint64_t find_or_insert(const Lookup& lookup) {
        for (std::size_t i = lookup.tag & mask_;; i = (i + 1) & mask_) {
            const Slot& slot = slots_[i];
            if (slot.cell == 0) return insert(lookup.packed, lookup.tag, i);
            if (slot.key == lookup.packed) return slot.cell - 1;
        }
    }

    // The same for a key that does not pack.
    std::uint64_t find_or_insert_whole(const CellKey& key);

    std::size_t size() const noexcept { return cells_; }

    // A component fits when it lies in [-bias, bias).
    static constexpr int packed_bits = 21;
    static constexpr std::int64_t bias = std::int64_t{1} << (packed_bits - 1);

private:
    template <class Key>
    struct SlotOf {
        Key key;
        std::uint32_t tag;   // the key's hash; also its home slot
        std::uint32_t cell;  // cell number + 1; 0 marks a free slot
    };
    using Slot = SlotOf<std::uint64_t>;
    using WholeSlot = SlotOf<CellKey>;

    // Packed keys use 63 bits, so this is never one.
    static constexpr std::uint64_t unpackable = ~std::uint64_t{0};

    static std::uint64_t pack(const CellKey& key) noexcept {
        const auto x = static_cast<std::uint64_t>(key.x) + bias;
        const auto y = static_cast<std::uint64_t>(key.y) + bias;
        const auto z = static_cast<std::uint64_t>(key.z) + bias;
        if ((x | y | z) >> packed_bits) return unpackable;
        return x << (2 * packed_bits) | y << packed_bits | z;
    }

    // Mixes every bit of the packed key into the bits the table uses, so
    // that grid keys (small, neighbouring integers) spread evenly.
    static std::uint32_t hash_of(std::uint64_t packed) noexcept {
        std::uint64_t h = packed * 0x9e3779b97f4a7c15ull;
        h ^= h >> 29;
        h *= 0xd6e8feb86659fd93ull;
        return static_cast<std::uint32_t>(h >> 32);
    }

    std::uint64_t next_cell();
    std::uint64_t insert(std::uint64_t packed, std::uint32_t tag, std::size_t free_slot);
    ZeroedArray<Slot> slots_;  // a power of two in length
    std::size_t mask_ = 0;
    std::vector<WholeSlot> whole_;  // empty until a key does not pack; then a power of two
    std::size_t size_whole_ = 0;    // cells in whole_
    std::size_t cells_ = 0;         // cells in both tables
};

}  // namespace velmarin
