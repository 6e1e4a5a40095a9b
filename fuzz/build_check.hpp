// What the two graph-build targets read and ask of a build: the indexed
// search and the literal one give the same graph, up to the overlay's
// rounding grid in the measures of each edge and, through them, in the
// edges whose area lies at the tolerance.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include <tbb/global_control.h>

#include "boxes/bounds.hpp"
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
    auto near = [](const Vector3D& v) {
        return std::fabs(v.x) <= 1e3 && std::fabs(v.y) <= 1e3 && std::fabs(v.z) <= 1e3;
    };
    for (const std::vector<Mesh>* list : {&building.meshes, &building.apertures}) {
        for (const Mesh& mesh : *list) {
            if (!std::all_of(mesh.vertices.begin(), mesh.vertices.end(), near)) return false;
        }
    }
    return std::all_of(building.wires.begin(), building.wires.end(),
                       [&](const Wire& w) { return near(w.start) && near(w.end); });
}

// The diagonal of a box of vertices; 0 for none.
inline double diagonal(const Bounds& box) {
    if (box.lower.x > box.upper.x) return 0.0;
    return std::hypot(box.upper.x - box.lower.x, box.upper.y - box.lower.y, box.upper.z - box.lower.z);
}

inline void add_vertices(Bounds& box, const Mesh& mesh) {
    for (const Vector3D& v : mesh.vertices) box.add(v);
}

// The area a build held against the tolerance: for the build across walls,
// the region before the openings were cut (what they took is its
// "opening_area"); for the other, what they left.
inline double area_held_to_tolerance(const EdgeRecord& e) {
    double area = e.shared_area;
    for (const EdgeNumber& n : e.numbers) {
        if (n.key == "opening_area") area += n.value;
    }
    return area;
}

// Which edges lie at the tolerance: where the overlay's rounding alone may
// put an edge's area on either side of it, so that one search finds the
// edge and the other does not. The two compute its region by other steps
// (the indexed search intersects before it takes away the nearer faces and
// cuts only the apertures near it; the literal one takes away first and
// cuts every aperture in the plane), each rounded to its own grid. The
// overlay rounds to 2^-29 of its operands' extent (planar/overlay.hpp); they
// are faces of the building projected into the plane of a face of node_a,
// so at most the building's diagonal D apart, and each step moves the
// region's boundary, which lies within that face (at most the diagonal d of
// node_a's mesh), by at most that grid: its area by about d * D * 2^-27. So
// 2^-20 * d * D, the factor the build holds an opening's area to, allows a
// hundred steps, more than the faces of a fuzzed building give.
inline std::vector<char> at_tolerance(const BuildCase& input, const std::vector<EdgeRecord>& edges) {
    Bounds building;
    for (const std::vector<Mesh>* list : {&input.building.meshes, &input.building.apertures}) {
        for (const Mesh& mesh : *list) add_vertices(building, mesh);
    }
    std::vector<char> out;
    out.reserve(edges.size());
    for (const EdgeRecord& e : edges) {
        Bounds room;
        add_vertices(room, checked(input.building.meshes, e.node_a));
        const double rounding = 0x1p-20 * diagonal(room) * diagonal(building);
        out.push_back(std::fabs(area_held_to_tolerance(e) - input.tolerance) <= rounding);
    }
    return out;
}

inline bool same_edge(const EdgeRecord& a, const EdgeRecord& b) {
    return a.node_a == b.node_a && a.node_b == b.node_b && a.contact_type == b.contact_type &&
           a.positions.key == b.positions.key && a.positions.values == b.positions.values;
}

// Whether the two lists hold the same edges in the same order, once the
// edges at the tolerance that one list alone holds are left out: whether
// some order-keeping pairing leaves only such edges unpaired. Table entry
// (i, j): whether the lists from positions i and j on pair so.
inline bool same_but_at_tolerance(const BuildCase& input, const std::vector<EdgeRecord>& indexed,
                                  const std::vector<EdgeRecord>& literal) {
    const std::vector<char> indexed_alone = at_tolerance(input, indexed);
    const std::vector<char> literal_alone = at_tolerance(input, literal);
    const std::size_t n = indexed.size();
    const std::size_t m = literal.size();
    std::vector<char> pairs((n + 1) * (m + 1), 0);
    auto entry = [&](std::size_t i, std::size_t j) -> char& { return pairs[i * (m + 1) + j]; };
    for (std::size_t i = n + 1; i-- > 0;) {
        for (std::size_t j = m + 1; j-- > 0;) {
            entry(i, j) =
                (i == n && j == m) || (i < n && j < m && entry(i + 1, j + 1) && same_edge(indexed[i], literal[j])) ||
                (i < n && indexed_alone[i] && entry(i + 1, j)) || (j < m && literal_alone[j] && entry(i, j + 1));
        }
    }
    return entry(0, 0);
}

// Nodes always agree to the bit; wire contacts and edges (their rooms, order,
// type and listed apertures) for a building near the origin, but for edges
// at the tolerance (`at_tolerance`).
inline void check_agreement(const BuildCase& input, const GraphRecords& indexed, const GraphRecords& literal) {
    check(indexed.nodes.size() == literal.nodes.size(), "the searches give different node counts");
    for (std::size_t i = 0; i < indexed.nodes.size(); ++i) {
        const Vector3D& a = indexed.nodes[i].centroid;
        const Vector3D& b = literal.nodes[i].centroid;
        check(same(a.x, b.x) && same(a.y, b.y) && same(a.z, b.z), "the searches give different centroids");
    }
    for (const EdgeRecord& e : indexed.edges) {
        check(e.node_a < e.node_b && e.node_b < indexed.nodes.size(), "an edge between wrong nodes");
    }
    if (!near_the_origin(input.building)) return;
    check(indexed.wire_contacts.size() == literal.wire_contacts.size(), "the searches give different wire contacts");
    for (std::size_t i = 0; i < indexed.wire_contacts.size(); ++i) {
        const WireContact& a = indexed.wire_contacts[i];
        const WireContact& b = literal.wire_contacts[i];
        check(a.wire_index == b.wire_index && a.mesh_index == b.mesh_index,
              "the searches give different wire contacts");
    }
    if (same_but_at_tolerance(input, indexed.edges, literal.edges)) return;
    // Then the lists differ in order somewhere: the first difference says how.
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
