// Growing a list to the size it is expected to reach, in one step.
#pragma once

#include <algorithm>
#include <cstddef>

namespace velmarin::ifc {

// Room for `factor` times the list's size and a little more, unless it has
// that already; at least half as much again as it had, so that a projection
// creeping upwards does not copy the list over and over.
template <class List>
void make_room(List& list, double factor) {
    constexpr double headroom = 1.125;  // an eighth more, so that a count a little above the projection fits
    const auto projected = static_cast<std::size_t>(static_cast<double>(list.size()) * factor * headroom);
    if (projected > list.capacity()) list.reserve(std::max(projected, list.capacity() + list.capacity() / 2));
}

}  // namespace velmarin::ifc
