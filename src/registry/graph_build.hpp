// Compiling a registry into the dual graph of the building, as plain values:
// one node per mesh, one wire contact per wire and mesh that holds the
// wire's midpoint, and edges between the cells that touch.
#pragma once

#include <optional>

#include "core/error.hpp"
#include "graph/graph_records.hpp"
#include "registry/search.hpp"
#include "registry/spatial_registry.hpp"

namespace velmarin {

// One edge per pair of coplanar faces of two meshes that share more than
// the tolerance of area after the apertures are cut away. Node i is mesh i;
// edges grouped by node_a ascending, then by the faces of mesh node_a; wire
// contacts by wire, then by mesh.
GraphRecords build_graph(const SpatialRegistry& registry, double tolerance, Search search = Search::Indexed);

// One edge per pair of faces that face each other across a gap of at most
// `wall_thickness`, or `slab_thickness` for a slab (none: the wall
// thickness), as wall_contacts.hpp says; each carries the numbers
// "wall_thickness" and "opening_area" and the list "apertures". Edges
// grouped by node_a ascending, then by the faces of mesh node_a, then
// nearest first. Nodes and wire contacts as in `build_graph`. A thickness
// that is negative or not finite is a value error that names it.
Result<GraphRecords> build_graph_with_walls(const SpatialRegistry& registry, double tolerance, double wall_thickness,
                                            std::optional<double> slab_thickness = std::nullopt,
                                            Search search = Search::Indexed);

}  // namespace velmarin
