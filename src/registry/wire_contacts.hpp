// Which cells each linear element passes through: those that hold the
// element's midpoint, decided by the parity of a ray's crossings.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/mesh.hpp"
#include "geometry/vector.hpp"
#include "graph/graph_records.hpp"
#include "registry/search.hpp"

namespace velmarin {

// True when a ray from `point` crosses the mesh's faces an odd number of
// times. The mesh need not be closed or consistently oriented.
bool point_in_mesh(const Vector3D& point, const Mesh& mesh);

Vector3D midpoint(const Wire& wire);

// Ordered by wire, then by mesh.
std::vector<WireContact> find_wire_contacts(const std::vector<Wire>& wires, const std::vector<Mesh>& meshes,
                                            Search search);

}  // namespace velmarin
