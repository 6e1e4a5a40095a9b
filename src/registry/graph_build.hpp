// Compiling a registry into the dual graph of the building, as plain values:
// one node per mesh, one contact per pair of coplanar faces of two meshes
// that share more than the tolerance of area after the apertures are cut
// away, one wire contact per wire and mesh that holds the wire's midpoint.
#pragma once

#include <vector>

#include "registry/cell_contacts.hpp"
#include "registry/search.hpp"
#include "registry/spatial_registry.hpp"
#include "registry/wire_contacts.hpp"

namespace velmarin {

struct GraphBuild {
    std::vector<Vector3D> centroids;        // node i is mesh i
    std::vector<CellContact> contacts;      // grouped by node_a ascending
    std::vector<WireMeshContact> wire_contacts;
};

GraphBuild build_graph(const SpatialRegistry& registry, double tolerance, Search search = Search::Indexed);

// The face planes of every mesh, by mesh and then by face.
std::vector<std::vector<FacePlane>> face_planes(const std::vector<Mesh>& meshes);

}  // namespace velmarin
