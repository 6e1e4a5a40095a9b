// The polygon mesh record and the one routine that assembles a valid one.
//
// A valid mesh has faces of at least three indices, each below the vertex
// count. Meshes are never changed after they are built: operations derive
// new ones.
#pragma once

#include <cstdint>
#include <vector>

#include "core/error.hpp"
#include "geometry/vector.hpp"

namespace velmarin {

using Face = std::vector<std::uint64_t>;

struct Mesh {
    std::vector<Vector3D> vertices;
    std::vector<Face> faces;
};

// The first face that breaks the rule decides the error.
Result<void> validate(const Mesh& mesh);

Result<Mesh> build_mesh(std::vector<Vector3D> vertices, std::vector<Face> faces);

// The mean of the vertex positions (NaN components for an empty mesh): sums
// left to right in list order, then one division per component.
Vector3D vertex_mean(const Mesh& mesh);

}  // namespace velmarin
