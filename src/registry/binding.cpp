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
        .methods = {method<build_spatial_graph, build_params>(
            "Compiles the spatial Dual Graph, executing O(N) vertex welding, O(log N) R*-Tree lookup,\n"
            "3D ray-cast column detection, and exact 2D polygonal aperture subtractions.")},
    });
    return def;
}

}  // namespace velmarin::binding
