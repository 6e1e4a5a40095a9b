// The graph build on plain nested lists, in either search, for the test
// suite: the literal search is what the build's own must agree with.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "binding/declare.hpp"
#include "geometry/binding.hpp"
#include "registry/graph_build.hpp"

namespace velmarin::binding {

namespace probe_graph {

using Points = std::vector<std::vector<double>>;
using Faces = FaceList;
// The edge's numbers (the walls build's thickness and opening area) and
// its positions (the walls build's apertures) last.
using EdgeRow = std::tuple<std::uint64_t, std::uint64_t, double, double, double, double, std::string,
                           std::vector<double>, std::vector<std::uint64_t>>;
using Rows = std::tuple<std::vector<std::tuple<double, double, double>>, std::vector<EdgeRow>,
                        std::vector<std::tuple<std::uint64_t, std::uint64_t>>>;

inline Vector3D point(const std::vector<double>& p) { return {checked(p, 0), checked(p, 1), checked(p, 2)}; }

inline std::vector<Mesh> meshes_of(const std::vector<Points>& vertices, const std::vector<Faces>& faces) {
    check(vertices.size() == faces.size(), "one face list per vertex list");
    std::vector<Mesh> meshes;
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        Mesh mesh;
        for (const auto& p : vertices[i]) mesh.vertices.push_back(point(p));
        mesh.faces = faces[i];
        meshes.push_back(std::move(mesh));
    }
    return meshes;
}

inline SpatialRegistry registry_of(const std::vector<Points>& mesh_vertices, const std::vector<Faces>& mesh_faces,
                                   const Points& wires, const std::vector<Points>& aperture_vertices,
                                   const std::vector<Faces>& aperture_faces) {
    SpatialRegistry registry{meshes_of(mesh_vertices, mesh_faces), {}, meshes_of(aperture_vertices, aperture_faces)};
    for (const auto& w : wires) {
        registry.wires.push_back(
            {{checked(w, 0), checked(w, 1), checked(w, 2)}, {checked(w, 3), checked(w, 4), checked(w, 5)}});
    }
    return registry;
}

inline Rows rows_of(const GraphRecords& graph) {
    Rows rows;
    for (const NodeRecord& n : graph.nodes) std::get<0>(rows).emplace_back(n.centroid.x, n.centroid.y, n.centroid.z);
    for (const EdgeRecord& e : graph.edges) {
        std::vector<double> numbers;
        for (const EdgeNumber& number : e.numbers) numbers.push_back(number.value);
        std::get<1>(rows).emplace_back(e.node_a, e.node_b, e.shared_area, e.contact_centroid.x, e.contact_centroid.y,
                                       e.contact_centroid.z, e.contact_type, numbers, e.positions.values);
    }
    for (const WireContact& w : graph.wire_contacts) std::get<2>(rows).emplace_back(w.wire_index, w.mesh_index);
    return rows;
}

inline Rows literal(std::vector<Points> mv, std::vector<Faces> mf, Points w, std::vector<Points> av,
                    std::vector<Faces> af, double tolerance) {
    return rows_of(build_graph(registry_of(mv, mf, w, av, af), tolerance, Search::Literal));
}
inline Rows indexed(std::vector<Points> mv, std::vector<Faces> mf, Points w, std::vector<Points> av,
                    std::vector<Faces> af, double tolerance) {
    return rows_of(build_graph(registry_of(mv, mf, w, av, af), tolerance, Search::Indexed));
}

// The walls build in either search; a bad thickness raises as the method does.
inline Result<Rows> walls(std::vector<Points> mv, std::vector<Faces> mf, Points w, std::vector<Points> av,
                          std::vector<Faces> af, double tolerance, double wall_thickness,
                          std::optional<double> slab_thickness, Search search) {
    Result<GraphRecords> graph =
        build_graph_with_walls(registry_of(mv, mf, w, av, af), tolerance, wall_thickness, slab_thickness, search);
    if (!graph.ok()) return graph.error();
    return rows_of(graph.value());
}
inline Result<Rows> walls_literal(std::vector<Points> mv, std::vector<Faces> mf, Points w, std::vector<Points> av,
                                  std::vector<Faces> af, double tolerance, double wall_thickness,
                                  std::optional<double> slab_thickness) {
    return walls(std::move(mv), std::move(mf), std::move(w), std::move(av), std::move(af), tolerance, wall_thickness,
                 slab_thickness, Search::Literal);
}
inline Result<Rows> walls_indexed(std::vector<Points> mv, std::vector<Faces> mf, Points w, std::vector<Points> av,
                                  std::vector<Faces> af, double tolerance, double wall_thickness,
                                  std::optional<double> slab_thickness) {
    return walls(std::move(mv), std::move(mf), std::move(w), std::move(av), std::move(af), tolerance, wall_thickness,
                 slab_thickness, Search::Indexed);
}

// clang-format off
constexpr Params literal_params{nullptr, "graph_build_literal", "mesh_vertices", "mesh_faces", "wires",
                                "aperture_vertices", "aperture_faces", "tolerance"};
constexpr Params indexed_params{nullptr, "graph_build_indexed", "mesh_vertices", "mesh_faces", "wires",
                                "aperture_vertices", "aperture_faces", "tolerance"};
constexpr Params walls_literal_params{nullptr, "graph_build_walls_literal", "mesh_vertices", "mesh_faces", "wires",
                                      "aperture_vertices", "aperture_faces", "tolerance", "wall_thickness",
                                      DefaultsToNone{"slab_thickness"}};
constexpr Params walls_indexed_params{nullptr, "graph_build_walls_indexed", "mesh_vertices", "mesh_faces", "wires",
                                      "aperture_vertices", "aperture_faces", "tolerance", "wall_thickness",
                                      DefaultsToNone{"slab_thickness"}};
// clang-format on

}  // namespace probe_graph

}  // namespace velmarin::binding
