#include "ifc/entity_index.hpp"

#include <limits>

#include "core/fault.hpp"

namespace velmarin::ifc {

namespace {

constexpr std::size_t no_slot = std::numeric_limits<std::size_t>::max();
constexpr std::uint64_t direct_spread = 8;  // table entries allowed per inserted number
constexpr std::uint64_t direct_headroom = 4096;

}  // namespace

EntityIndex::EntityIndex(std::uint64_t largest, std::size_t count) {
    if (largest < direct_spread * count + direct_headroom) {
        direct_.assign(largest + 1, no_slot);
    } else {
        hashed_.reserve(count);
    }
}

std::pair<std::size_t, bool> EntityIndex::insert(std::uint64_t number) {
    if (!direct_.empty()) {
        std::size_t& slot = checked(direct_, number);
        if (slot != no_slot) return {slot, false};
        slot = size_++;
        return {slot, true};
    }
    const auto [entry, is_new] = hashed_.try_emplace(number, size_);
    if (is_new) ++size_;
    return {entry->second, is_new};
}

std::optional<std::size_t> EntityIndex::find(std::uint64_t number) const {
    if (!direct_.empty()) {
        if (number >= direct_.size() || direct_[number] == no_slot) return std::nullopt;
        return direct_[number];
    }
    const auto entry = hashed_.find(number);
    if (entry == hashed_.end()) return std::nullopt;
    return entry->second;
}

}  // namespace velmarin::ifc
