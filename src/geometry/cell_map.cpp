#include "geometry/cell_map.hpp"

#include <bit>
#include <limits>

#include "core/fault.hpp"

namespace velmarin {

namespace {

// At most three quarters full: probe runs stay short.
constexpr std::size_t capacity_for(std::size_t count) { return std::bit_ceil(count + count / 3 + 16); }

// Mixes all three components into every bit, so that grid keys (small,
// neighbouring integers) spread evenly over the table.
std::uint32_t hash_of(const CellKey& key) noexcept {
    std::uint64_t h = static_cast<std::uint64_t>(key.x) * 0x9e3779b97f4a7c15ull;
    h ^= static_cast<std::uint64_t>(key.y) * 0xc2b2ae3d27d4eb4full;
    h ^= static_cast<std::uint64_t>(key.z) * 0x165667b19e3779f9ull;
    h ^= h >> 32;
    h *= 0xd6e8feb86659fd93ull;
    return static_cast<std::uint32_t>(h >> 32);
}

}  // namespace

CellMap::CellMap(std::size_t expected) : slots_(capacity_for(expected), Slot{}), mask_(slots_.size() - 1) {}

void CellMap::prefetch(const CellKey& key) const noexcept { __builtin_prefetch(&slots_[hash_of(key) & mask_]); }

std::uint64_t CellMap::find_or_insert(const CellKey& key) {
    const std::uint32_t tag = hash_of(key);
    for (std::size_t i = tag & mask_;; i = (i + 1) & mask_) {
        const Slot& slot = slots_[i];
        if (slot.cell == 0) break;
        if (slot.tag == tag && slot.key == key) return slot.cell - 1;
    }
    check(cells_ < std::numeric_limits<std::uint32_t>::max(), "more weld cells than CellMap can number");
    ++cells_;
    if (capacity_for(cells_) > slots_.size()) grow();
    std::size_t i = tag & mask_;
    while (slots_[i].cell != 0) i = (i + 1) & mask_;
    slots_[i] = {key, tag, static_cast<std::uint32_t>(cells_)};
    return cells_ - 1;
}

void CellMap::grow() {
    decltype(slots_) old(slots_.size() * 2, Slot{});
    old.swap(slots_);
    mask_ = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.cell == 0) continue;
        std::size_t i = slot.tag & mask_;
        while (slots_[i].cell != 0) i = (i + 1) & mask_;
        slots_[i] = slot;
    }
}

}  // namespace velmarin
