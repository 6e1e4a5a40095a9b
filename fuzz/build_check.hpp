// What the two graph-build targets read and ask of a build: the indexed
// search and the literal one give the same graph, up to the overlay's
// rounding grid in the measures of each edge.
#pragma once

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include <tbb/global_control.h>

#include "core/fault.hpp"
#include "decode.hpp"
#include "graph/graph_records.hpp"

namespace velmarin::fuzz {

struct BuildCase {
    double tolerance;
    double wall_thickness;  // read by the build across walls only, as is
    std::optional<double> slab_thickness;
    SpatialRegistry building;
};

// The slab thickness comes after the building, so that older inputs keep
// their meaning: none past their end (a zero byte), otherwise the wall
// thickness itself, any thickness the tolerance's reading gives, or a
// multiple of the grid up to 4.
inline std::optional<double> slab_thickness(Bytes& bytes, double wall_thickness) {
    switch (bytes.byte() % 4) {
        case 0: return std::nullopt;
        case 1: return wall_thickness;
        case 2: return bytes.tolerance();
        default: return 0.25 * (bytes.byte() % 17);
    }
}

// The builds run on one worker: the fuzzer has one core to itself at most,
// and one thread keeps each run the same.
inline BuildCase build_case(const std::uint8_t* data, std::size_t size) {
    static tbb::global_control one_worker(tbb::global_control::max_allowed_parallelism, 1);
    Bytes bytes(data, size);
    const double tolerance = bytes.tolerance();
    const double wall_thickness = bytes.tolerance();
    SpatialRegistry building = bytes.building();
    const std::optional<double> slab = slab_thickness(bytes, wall_thickness);
    return {tolerance, wall_thickness, slab, std::move(building)};
}

// Whether every vertex and wire end lies within a kilometre of the origin.
// Only then are the contacts of the two searches compared: far out, the
// plain algorithm loses what the index skips rightly. It subtracts every
// aperture face in a contact's plane, however far off, and the overlay's
// grid, scaled to the operands' common extent, grows coarse enough to erase
// a room-sized region; and it runs the ray test of every wire against every
// room, whose products overflow for points around 1e150 and beyond.
inline bool near_the_origin(const SpatialRegistry& building) {
    auto near = [](const Vector3D& v) { return std::fabs(v.x) <= 1e3 && std::fabs(v.y) <= 1e3 && std::fabs(v.z) <= 1e3; };
    for (const std::vector<Mesh>* list : {&building.meshes, &building.apertures}) {
        for (const Mesh& mesh : *list) {
            if (!std::all_of(mesh.vertices.begin(), mesh.vertices.end(), near)) return false;
        }
    }
    return std::all_of(building.wires.begin(), building.wires.end(),
                       [&](const Wire& w) { return near(w.start) && near(w.end); });
}

// Nodes always agree to the bit; wire contacts and edges (their rooms, order,
// type and listed apertures) for a building near the origin.
inline void check_agreement(const SpatialRegistry& building, const GraphRecords& indexed, const GraphRecords& literal) {
    check(indexed.nodes.size() == literal.nodes.size(), "the searches give different node counts");
    for (std::size_t i = 0; i < indexed.nodes.size(); ++i) {
        const Vector3D& a = indexed.nodes[i].centroid;
        const Vector3D& b = literal.nodes[i].centroid;
        check(same(a.x, b.x) && same(a.y, b.y) && same(a.z, b.z), "the searches give different centroids");
    }
    for (const EdgeRecord& e : indexed.edges) {
        check(e.node_a < e.node_b && e.node_b < indexed.nodes.size(), "an edge between wrong nodes");
    }
    if (!near_the_origin(building)) return;
    check(indexed.wire_contacts.size() == literal.wire_contacts.size(), "the searches give different wire contacts");
    for (std::size_t i = 0; i < indexed.wire_contacts.size(); ++i) {
        const WireContact& a = indexed.wire_contacts[i];
        const WireContact& b = literal.wire_contacts[i];
        check(a.wire_index == b.wire_index && a.mesh_index == b.mesh_index, "the searches give different wire contacts");
    }
    check(indexed.edges.size() == literal.edges.size(), "the searches give different edge counts");
    for (std::size_t i = 0; i < indexed.edges.size(); ++i) {
        const EdgeRecord& a = indexed.edges[i];
        const EdgeRecord& b = literal.edges[i];
        check(a.node_a == b.node_a && a.node_b == b.node_b && a.contact_type == b.contact_type,
              "the searches give different edges");
        check(a.positions.key == b.positions.key && a.positions.values == b.positions.values,
              "the searches list different apertures");
    }
}

}  // namespace velmarin::fuzz
