// A planar face with holes cut into triangles.
//
// A mesh's faces are simple polygons; a face that a model gives with holes
// (a door leaf around its glass, a stair's side around its landing) is
// given to it as triangles, as a geometry engine would give it.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "planar/overlay.hpp"

namespace velmarin {

using Triangle = std::array<std::size_t, 3>;

// `rings`: the outer ring, then the holes, each as positions in `points`,
// not closed, wound either way. Each hole is joined to the ring around it
// by a cut to a vertex it sees, then ears are clipped from the one ring
// left. The triangles (positions in `points`) run counter-clockwise; None
// when the rings are too few or short, or their points not finite, or too
// many for the quadratic cutting (some thousand corners), or
// when the triangles would not cover the outer ring's area less the holes'
// (to a billionth): rings that cross or touch, or a hole outside.
std::optional<std::vector<Triangle>> triangles_with_holes(std::span<const Point2D> points,
                                                          std::span<const std::vector<std::size_t>> rings);

}  // namespace velmarin
