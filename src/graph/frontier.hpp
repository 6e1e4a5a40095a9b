// The nodes a path search has reached but not settled, each held once, the
// least (distance, position) first: a binary heap that knows where each
// node sits in it, so that a lower distance moves the node's one entry up
// instead of adding another. Taking the top out is the costly operation,
// and a heap that kept an entry per improvement would take out a third
// more on a building's graph, only to pass over the stale ones.
#pragma once

#include <bit>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmarin {

template <class Index>
class Frontier {
public:
    // Empties the frontier for a search over `node_count` nodes.
    void reset(std::size_t node_count) {
        entries_.clear();
        place_.assign(node_count, 0);
    }

    bool empty() const noexcept { return entries_.empty(); }
    // The node pop() would take out now; the frontier must not be empty.
    Index top() const noexcept { return entries_.front().node; }

    // Enters `node` at `distance`, or moves it to `distance` if it is in
    // already. The distance must be finite, not negative, and below the
    // node's earlier one.
    void lower(Index node, double distance) {
        const Entry entry{std::bit_cast<std::uint64_t>(distance), node};
        const Index place = place_[node];
        if (place != 0) {
            rise(place - 1, entry);
            return;
        }
        entries_.push_back(entry);
        rise(entries_.size() - 1, entry);
    }

    // Takes out the node of least distance, the lowest position among equals.
    Index pop() {
        const Index top = entries_.front().node;
        place_[top] = 0;
        const Entry last = entries_.back();
        entries_.pop_back();
        if (!entries_.empty()) sink(last);
        return top;
    }

private:
    // Finite distances that are not negative order as their bit patterns do
    // (distances here are sums of square roots, never -0.0).
    struct Entry {
        std::uint64_t distance_bits;
        Index node;
        auto operator<=>(const Entry&) const = default;
    };

    // Puts `entry` at `i` or above, moving larger parents down.
    void rise(std::size_t i, Entry entry) {
        while (i > 0) {
            const std::size_t parent = (i - 1) / 2;
            if (!(entry < entries_[parent])) break;
            put(i, entries_[parent]);
            i = parent;
        }
        put(i, entry);
    }

    // Puts `entry` into the hole at the root or below, moving smaller
    // children up.
    void sink(Entry entry) {
        const std::size_t size = entries_.size();
        std::size_t i = 0;
        for (std::size_t child = 1; child < size; child = 2 * i + 1) {
            if (child + 1 < size && entries_[child + 1] < entries_[child]) ++child;
            if (!(entries_[child] < entry)) break;
            put(i, entries_[child]);
            i = child;
        }
        put(i, entry);
    }

    void put(std::size_t i, Entry entry) {
        entries_[i] = entry;
        place_[entry.node] = static_cast<Index>(i + 1);
    }

    std::vector<Entry> entries_;
    std::vector<Index> place_;  // a node's place in entries_ plus one; 0 when it is not in
};

}  // namespace velmarin
