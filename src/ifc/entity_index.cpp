#include "ifc/entity_index.hpp"

#include <algorithm>
#include <limits>

#include "ifc/list_growth.hpp"

namespace velmarin::ifc {

namespace {

constexpr std::uint32_t no_slot = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint64_t direct_spread = 8;  // table entries allowed per inserted number
constexpr std::uint64_t direct_headroom = 4096;

}  // namespace

std::pair<std::size_t, bool> EntityIndex::insert(std::uint64_t number) {
    if (number >= direct_.size() && number < direct_spread * (size_ + 1) + direct_headroom) {
        // At least doubled, so that widening costs constant time per number.
        direct_.resize(std::max<std::uint64_t>(number + 1, 2 * direct_.size()), no_slot);
    }
    if (number >= direct_.size()) return insert_hashed(number);
    std::uint32_t& slot = direct_[number];
    if (slot != no_slot) return {slot, false};
    // A number that the table has only now come to cover may be hashed.
    if (!hashed_.empty()) {
        if (const auto entry = hashed_.find(number); entry != hashed_.end()) return {entry->second, false};
    }
    if (size_ >= no_slot) return insert_hashed(number);  // a slot that the table cannot hold
    slot = static_cast<std::uint32_t>(size_++);
    return {slot, true};
}

std::optional<std::size_t> EntityIndex::find(std::uint64_t number) const {
    if (number < direct_.size() && direct_[number] != no_slot) return direct_[number];
    if (const auto entry = hashed_.find(number); entry != hashed_.end()) return entry->second;
    return std::nullopt;
}

void EntityIndex::expect_growth(double factor) { make_room(direct_, factor); }

std::pair<std::size_t, bool> EntityIndex::insert_hashed(std::uint64_t number) {
    const auto [entry, is_new] = hashed_.try_emplace(number, size_);
    if (is_new) ++size_;
    return {entry->second, is_new};
}

}  // namespace velmarin::ifc
