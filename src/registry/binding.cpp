// SpatialRegistry.
#include "registry/binding.hpp"

#include "binding/declare.hpp"
#include "geometry/binding.hpp"
#include "graph/binding.hpp"
#include "registry/graph_build.hpp"

namespace velmarin::binding {

namespace {

SpatialRegistry make_registry(std::vector<Mesh> meshes, std::vector<Wire> wires, std::vector<Mesh> apertures) {
    return {std::move(meshes), std::move(wires), std::move(apertures)};
}
constexpr Params registry_new{"SpatialRegistry", "__new__", "meshes", "wires", "apertures"};

GraphRecords build_spatial_graph(const SpatialRegistry& registry, double tolerance) {
    return build_graph(registry, tolerance);
}
constexpr Params build_params{"SpatialRegistry", "build_spatial_graph", "tolerance"};

Result<GraphRecords> build_spatial_graph_with_walls(const SpatialRegistry& registry, double tolerance,
                                                    double wall_thickness, std::optional<double> slab_thickness) {
    return build_graph_with_walls(registry, tolerance, wall_thickness, slab_thickness);
}
constexpr Params walls_params{"SpatialRegistry", "build_spatial_graph_with_walls", "tolerance", "wall_thickness",
                              DefaultsToNone{"slab_thickness"}};

}  // namespace

template <>
const ClassDef& class_def<SpatialRegistry>() {
    static const ClassDef def = define_class<SpatialRegistry>({
        .name = "SpatialRegistry",
        .sentence = "The main high-performance workspace container managing multi-mesh and "
                    "multi-dimensional spatial elements.",
        .constructor = constructor<make_registry, registry_new>(),
        .properties =
            {
                field<&SpatialRegistry::meshes>("meshes"),
                field<&SpatialRegistry::wires>("wires"),
                field<&SpatialRegistry::apertures>("apertures"),
            },
        .methods =
            {
                method<build_spatial_graph, build_params>(
                    "Compiles the spatial Dual Graph, executing O(N) vertex welding, O(log N) R*-Tree lookup,\n"
                    "3D ray-cast column detection, and exact 2D polygonal aperture subtractions."),
                method<build_spatial_graph_with_walls, walls_params>(
                    "The dual graph of rooms that walls and slabs keep apart: the nodes and wire contacts of\n"
                    "build_spatial_graph, and an edge for each pair of faces of two meshes that face each other\n"
                    "across a gap of at most wall_thickness, or slab_thickness for a slab.\n"
                    "\n"
                    "Face B faces face A when their unit normals are opposite within the tolerance\n"
                    "(nA . nB < -(1 - tolerance)) and B's vertex mean lies in front of A's plane by s, with\n"
                    "-tolerance < s <= the limit: slab_thickness when A's normal makes the contact a\n"
                    "HorizontalSlabContact (|nA.z| > 0.707), wall_thickness otherwise; slab_thickness None\n"
                    "(the default) is wall_thickness. Candidates are the faces whose bounding boxes, grown by\n"
                    "max(wall_thickness, slab_thickness, tolerance), meet A's. Nearest first: the faces facing A\n"
                    "are taken by increasing s (then mesh, then face position), and each keeps only the part of\n"
                    "A, with B projected onto A's plane, that nearer faces of any other mesh left uncovered, so\n"
                    "rooms are never linked through a shaft, a void or a room between them. Aperture faces\n"
                    "parallel to A whose plane lies between A's and B's planes (within the tolerance beyond\n"
                    "either) are cut out, aperture by aperture in registry order.\n"
                    "\n"
                    "An edge is kept when the region before the cut has an area above the tolerance, so a\n"
                    "wall that is all door still links its rooms. shared_area is the area after the cut;\n"
                    "contact_centroid is the centroid of what the cut left when that has an area above the\n"
                    "tolerance, otherwise of the region before the cut, moved along A's normal by s / 2;\n"
                    "contact_type follows A's normal. Each edge carries the float attributes\n"
                    "'wall_thickness' (s, for slabs too) and 'opening_area' (the area the openings took; above 0\n"
                    "when an opening joins the rooms), and 'apertures', a new list of the positions in\n"
                    "registry.apertures, ascending, of the apertures that took area: one is listed when the\n"
                    "area left before its faces were cut, less the area left after them, is above the\n"
                    "overlay's rounding, 2**-20 times the square of the longer side of the region's bounding\n"
                    "box. Openings that take no more than that together leave opening_area 0 and the list\n"
                    "empty. Each pair of\n"
                    "faces gives at most one edge, found from the mesh at the lower position: node_a < node_b,\n"
                    "edges ordered by node_a, then by the faces of node_a, then nearest first. A\n"
                    "wall_thickness or slab_thickness below 0, NaN or infinite raises ValueError naming it; a\n"
                    "tolerance of 0 or less, NaN or infinite gives no edges."),
            },
    });
    return def;
}

}  // namespace velmarin::binding
