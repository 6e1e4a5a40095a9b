#include "geometry/cell_map.hpp"

#include <bit>
#include <limits>

#include "core/fault.hpp"

namespace velmarin {

namespace {

// At most three quarters full: probe runs stay short.
constexpr std::size_t capacity_for(std::size_t count) { return std::bit_ceil(count + count / 3 + 16); }

std::uint32_t hash_of_whole(const CellKey& key) noexcept {
    std::uint64_t h = static_cast<std::uint64_t>(key.x) * 0x9e3779b97f4a7c15ull;
    h ^= static_cast<std::uint64_t>(key.y) * 0xc2b2ae3d27d4eb4full;
    h ^= static_cast<std::uint64_t>(key.z) * 0x165667b19e3779f9ull;
    h ^= h >> 32;
    h *= 0xd6e8feb86659fd93ull;
    return static_cast<std::uint32_t>(h >> 32);
}

// The free slot where an entry of hash `tag` goes.
template <class Slots>
std::size_t free_slot_for(const Slots& slots, std::size_t mask, std::uint32_t tag) {
    std::size_t i = tag & mask;
    while (slots[i].cell != 0) i = (i + 1) & mask;
    return i;
}

// Twice the slots, each entry in its place there.
template <class Slots>
Slots doubled(const Slots& old, std::size_t capacity) {
    Slots slots(capacity * 2);
    for (std::size_t i = 0; i < capacity; ++i) {
        if (old[i].cell != 0) slots[free_slot_for(slots, slots.size() - 1, old[i].tag)] = old[i];
    }
    return slots;
}

}  // namespace

CellMap::CellMap(std::size_t expected) : slots_(capacity_for(expected)), mask_(slots_.size() - 1) {}

std::uint64_t CellMap::next_cell() {
    check(cells_ < std::numeric_limits<std::uint32_t>::max(), "more weld cells than CellMap can number");
    return ++cells_;
}

std::uint64_t CellMap::insert(std::uint64_t packed, std::uint32_t tag, std::size_t free_slot) {
    const std::uint64_t cell = next_cell();
    // The whole keys' cells count too: the table only grows for its own.
    if (capacity_for(cells_ - size_whole_) > slots_.size()) {
        slots_ = doubled(slots_, slots_.size());
        mask_ = slots_.size() - 1;
        free_slot = free_slot_for(slots_, mask_, tag);
    }
    slots_[free_slot] = {packed, tag, static_cast<std::uint32_t>(cell)};
    return cell - 1;
}

std::uint64_t CellMap::find_or_insert_whole(const CellKey& key) {
    if (whole_.empty()) whole_.resize(capacity_for(0));
    const std::uint32_t tag = hash_of_whole(key);
    std::size_t mask = whole_.size() - 1;
    for (std::size_t i = tag & mask;; i = (i + 1) & mask) {
        const WholeSlot& slot = whole_[i];
        if (slot.cell == 0) break;
        if (slot.tag == tag && slot.key == key) return slot.cell - 1;
    }
    const std::uint64_t cell = next_cell();
    ++size_whole_;
    if (capacity_for(size_whole_) > whole_.size()) {
        whole_ = doubled(whole_, whole_.size());
        mask = whole_.size() - 1;
    }
    whole_[free_slot_for(whole_, mask, tag)] = {key, tag, static_cast<std::uint32_t>(cell)};
    return cell - 1;
}

}  // namespace velmarin
