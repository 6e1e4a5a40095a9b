#include "registry/graph_build.hpp"

#include <charconv>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "core/parallel_tasks.hpp"
#include "registry/aperture_index.hpp"
#include "registry/cell_contacts.hpp"
#include "registry/face_index.hpp"
#include "registry/literal_apertures.hpp"
#include "registry/wall_contacts.hpp"
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

EdgeRecord edge_of(const CellContact& c) {
    return {c.node_a, c.node_b, c.shared_area, c.contact_centroid, contact_type_name(c.contact_type)};
}

// The records (each with a text on the heap) are made here rather than in
// the tasks: made there, they were slower to make and to release.
template <class Contact, class Convert>
std::vector<EdgeRecord> records_of(std::vector<std::vector<Contact>> per_mesh, const Convert& convert) {
    std::size_t count = 0;
    for (const auto& list : per_mesh) count += list.size();
    std::vector<EdgeRecord> records;
    records.reserve(count);
    for (auto& list : per_mesh) {
        for (Contact& contact : list) records.push_back(convert(contact));
    }
    return records;
}

// What every mesh's contacts are found in: made side by side with the nodes
// and the wire contacts.
struct SharedInputs {
    std::optional<FaceIndex> faces;
    std::vector<std::vector<FacePlane>> planes;
    std::vector<FacingFacts> facts;  // the build across walls only
    std::unique_ptr<ApertureCut> apertures;
};

// The nodes, the wire contacts and, when meshes can touch, the shared inputs
// of the contacts (faces indexed with boxes grown by `reach`), side by side
// on the pool; a fault reaches the caller as it would running them in that order.
SharedInputs prepare(const SpatialRegistry& registry, double tolerance, double reach, bool walls, Search search,
                     GraphRecords& graph) {
    SharedInputs shared;
    const bool touch = can_touch(registry.meshes, tolerance);
    run_side_by_side([&] { graph.nodes = nodes(registry.meshes); },
                     [&] { graph.wire_contacts = find_wire_contacts(registry.wires, registry.meshes, search); },
                     [&] {
                         if (touch) shared.faces.emplace(registry.meshes, reach);
                     },
                     [&] {
                         if (touch) shared.planes = face_planes(registry.meshes);
                         if (touch && walls) shared.facts = facing_facts(registry.meshes, shared.planes);
                     },
                     [&] {
                         if (touch) shared.apertures = aperture_cut(registry.apertures, tolerance, search);
                     });
    return shared;
}

std::vector<EdgeRecord> edges(const SpatialRegistry& registry, double tolerance, Search search,
                              const SharedInputs& shared) {
    const ContactScene scene{registry.meshes, shared.planes, *shared.faces, *shared.apertures, tolerance, search};
    auto per_mesh = run_by_position<std::vector<CellContact>>(
        registry.meshes.size(), [&](std::size_t i) { return find_cell_contacts(scene, i); });
    return records_of(std::move(per_mesh), edge_of);
}

// How far apart faces may lie and still face each other.
struct Thickness {
    double wall;
    double slab;
};

std::vector<EdgeRecord> wall_edges(const SpatialRegistry& registry, double tolerance, Thickness most, double reach,
                                   Search search, const SharedInputs& shared) {
    const WallScene scene{{registry.meshes, shared.planes, *shared.faces, *shared.apertures, tolerance, search},
                          shared.facts,
                          most.wall,
                          most.slab,
                          reach};
    auto per_mesh = run_by_position<std::vector<WallContact>>(
        registry.meshes.size(), [&](std::size_t i) { return find_wall_contacts(scene, i); });
    return records_of(std::move(per_mesh), [](WallContact& c) {
        EdgeRecord edge = edge_of(c.contact);
        edge.numbers = {{"wall_thickness", c.thickness}, {"opening_area", c.opening_area}};
        edge.positions = {"apertures", std::move(c.apertures)};
        return edge;
    });
}

// As Python writes a float: the shortest digits that read back the same.
std::string shortest_text(double value) {
    if (std::isnan(value)) return "nan";
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    check(error == std::errc(), "a float longer than its buffer");
    return {text, end};
}

}  // namespace

GraphRecords build_graph(const SpatialRegistry& registry, double tolerance, Search search) {
    GraphRecords graph;
    const SharedInputs shared = prepare(registry, tolerance, tolerance, false, search, graph);
    if (shared.faces) graph.edges = edges(registry, tolerance, search, shared);
    return graph;
}

Result<GraphRecords> build_graph_with_walls(const SpatialRegistry& registry, double tolerance, double wall_thickness,
                                            std::optional<double> slab_thickness, Search search) {
    const Thickness most{wall_thickness, slab_thickness.value_or(wall_thickness)};
    for (const auto& [name, value] : {std::pair{"wall_thickness", most.wall}, std::pair{"slab_thickness", most.slab}}) {
        if (!(value >= 0.0) || !std::isfinite(value)) {
            return value_error(std::string(name) + " must be a finite number of 0 or more, not " +
                               shortest_text(value));
        }
    }
    // Grown by the tolerance at least, so that faces that touch are found as
    // the build without walls finds them.
    const double reach = std::fmax(std::fmax(most.wall, most.slab), tolerance);
    GraphRecords graph;
    const SharedInputs shared = prepare(registry, tolerance, reach, true, search, graph);
    if (shared.faces) graph.edges = wall_edges(registry, tolerance, most, reach, search, shared);
    return graph;
}

}  // namespace velmarin
