// A static R*-tree of boxes, each carrying a position (what the box stands
// for is the caller's: a face, a mesh, an aperture face), bulk-loaded once and
// then only queried, from any number of threads at once.
//
// Boxes are closed: two boxes that share only a face, an edge or a corner
// intersect. The tree itself lives in box_index.cpp, so that the spatial
// index library stays out of every file that only queries it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "boxes/bounds.hpp"

namespace velmarin {

// Leaf and node capacity of every tree (measured in bench/bench_build.py).
inline constexpr std::size_t box_index_node_size = 16;

class BoxIndex {
public:
    struct Entry {
        Bounds box;
        std::uint64_t position = 0;
    };

    // The packing constructor: one bulk load, never single insertions.
    explicit BoxIndex(const std::vector<Entry>& entries);
    BoxIndex(BoxIndex&&) noexcept;
    BoxIndex& operator=(BoxIndex&&) noexcept;
    ~BoxIndex();

    // Calls `visit(position)`, or `visit(position, box)`, for every entry
    // whose box intersects `bounds`, in the order the tree yields them. The
    // box is the entry's as the tree compares it (clamped to the finite
    // range), so that callers can repeat the tree's test on it.
    template <class Visit>
    void query(const Bounds& bounds, const Visit& visit) const {
        for_each_hit(
            bounds,
            [](const void* context, std::uint64_t position, const Bounds& box) {
                const Visit& v = *static_cast<const Visit*>(context);
                if constexpr (std::is_invocable_v<const Visit&, std::uint64_t, const Bounds&>) {
                    v(position, box);
                } else {
                    v(position);
                }
            },
            &visit);
    }

    std::size_t size() const;

private:
    using Visitor = void (*)(const void* context, std::uint64_t position, const Bounds& box);
    void for_each_hit(const Bounds& bounds, Visitor visitor, const void* context) const;

    struct Tree;
    std::unique_ptr<const Tree> tree_;
};

}  // namespace velmarin
