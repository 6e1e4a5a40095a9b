#include "registry/graph_build.hpp"

#include <cmath>
#include <memory>

#include "registry/aperture_index.hpp"
#include "registry/by_position.hpp"
#include "registry/cell_contacts.hpp"
#include "registry/face_index.hpp"
#include "registry/literal_apertures.hpp"
#include "registry/wire_contacts.hpp"

namespace velmarin {

namespace {

std::vector<NodeRecord> nodes(const std::vector<Mesh>& meshes) {
    std::vector<NodeRecord> records;
    records.reserve(meshes.size());
    for (std::size_t i = 0; i < meshes.size(); ++i) records.push_back({i, vertex_mean(meshes[i])});
    return records;
}

// Every contact needs a plane distance strictly below the tolerance and an
// area strictly above it, so only a positive finite tolerance can give one.
bool can_touch(const std::vector<Mesh>& meshes, double tolerance) {
    return meshes.size() >= 2 && tolerance > 0.0 && std::isfinite(tolerance);
}

std::unique_ptr<ApertureCut> aperture_cut(const std::vector<Mesh>& apertures, double tolerance, Search search) {
    if (search == Search::Literal) return std::make_unique<LiteralApertures>(apertures, tolerance);
    return std::make_unique<ApertureIndex>(apertures, tolerance);
}

EdgeRecord edge(const CellContact& c) {
    return {c.node_a, c.node_b, c.shared_area, c.contact_centroid, contact_type_name(c.contact_type)};
}

std::vector<EdgeRecord> edges(const SpatialRegistry& registry, double tolerance, Search search) {
    const FaceIndex faces(registry.meshes, tolerance);
    const std::vector<std::vector<FacePlane>> planes = face_planes(registry.meshes);
    const std::unique_ptr<ApertureCut> apertures = aperture_cut(registry.apertures, tolerance, search);
    const ContactScene scene{registry.meshes, planes, faces, *apertures, tolerance, search};

    const auto per_mesh = run_by_position<std::vector<CellContact>>(
        registry.meshes.size(), [&](std::size_t i) { return find_cell_contacts(scene, i); });

    // The records (each with a text on the heap) are made here rather than in
    // the tasks: made there, they were slower to make and to release.

    std::size_t count = 0;
    for (const auto& list : per_mesh) count += list.size();
    std::vector<EdgeRecord> records;
    records.reserve(count);
    for (const auto& list : per_mesh) {
        for (const CellContact& contact : list) records.push_back(edge(contact));
    }
    return records;
}

}  // namespace

GraphRecords build_graph(const SpatialRegistry& registry, double tolerance, Search search) {
    GraphRecords graph;
    graph.nodes = nodes(registry.meshes);
    graph.wire_contacts = find_wire_contacts(registry.wires, registry.meshes, search);
    if (can_touch(registry.meshes, tolerance)) graph.edges = edges(registry, tolerance, search);
    return graph;
}

}  // namespace velmarin
