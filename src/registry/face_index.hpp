// The face index: every face of every mesh, entered with its box grown by
// the build's tolerance, so that a query with a face's own grown box finds
// every face whose grown box it touches (boxes at most twice the tolerance
// apart in every axis).
#pragma once

#include <cstdint>
#include <type_traits>
#include <vector>

#include "boxes/bounds.hpp"
#include "boxes/box_index.hpp"
#include "core/fault.hpp"
#include "geometry/mesh.hpp"

namespace velmarin {

struct FaceRef {
    std::uint64_t mesh = 0;
    std::uint64_t face = 0;
};

// The box of one face's vertices grown by `tolerance`. The same routine
// makes the index entries and the query boxes, so a face's query box is its
// own entry's box.
Bounds face_box(const Mesh& mesh, std::size_t face, double tolerance);

class FaceIndex {
public:
    // One entry per face, for each mesh in order and each face in order.
    FaceIndex(const std::vector<Mesh>& meshes, double tolerance);

    // Calls `visit(face)`, `visit(face, its grown box)` or `visit(face, its
    // grown box, its position)` for every face whose grown box intersects
    // `box`. Positions run over the faces of each mesh in order, mesh by mesh.
    template <class Visit>
    void query_intersecting(const Bounds& box, const Visit& visit) const {
        tree_.query(box, [&](std::uint64_t position, const Bounds& grown) {
            if constexpr (std::is_invocable_v<const Visit&, const FaceRef&, const Bounds&, std::uint64_t>) {
                visit(checked(refs_, position), grown, position);
            } else if constexpr (std::is_invocable_v<const Visit&, const FaceRef&, const Bounds&>) {
                visit(checked(refs_, position), grown);
            } else {
                visit(checked(refs_, position));
            }
        });
    }

private:
    std::vector<FaceRef> refs_;  // by the tree's positions
    BoxIndex tree_;
};

}  // namespace velmarin
