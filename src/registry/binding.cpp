// SpatialRegistry.
#include "registry/binding.hpp"

#include "binding/declare.hpp"
#include "geometry/binding.hpp"

namespace velmarin::binding {

namespace {

SpatialRegistry make_registry(std::vector<Mesh> meshes, std::vector<Wire> wires, std::vector<Mesh> apertures) {
    return {std::move(meshes), std::move(wires), std::move(apertures)};
}
constexpr Params registry_new{"SpatialRegistry", "__new__", "meshes", "wires", "apertures"};

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
    });
    return def;
}

}  // namespace velmarin::binding
