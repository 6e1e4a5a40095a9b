// boolean_join_extruded.
#include "extrusion/binding.hpp"

#include "binding/declare.hpp"
#include "extrusion/join.hpp"
#include "geometry/binding.hpp"

namespace velmarin::binding {

namespace {

std::vector<Mesh> join(Mesh mesh_a, Mesh mesh_b, double z_base, double height) {
    return boolean_join_extruded(mesh_a, mesh_b, z_base, height);
}
constexpr Params join_params{nullptr, "boolean_join_extruded", "mesh_a", "mesh_b", "z_base", "height"};

}  // namespace

PyMethodDef boolean_join_extruded_function() {
    return function<join, join_params>(
        "Advanced non-manifold boolean decomposition for intersecting extruded meshes.\n"
        "Solves room-to-room physical clashes by slicing them into mutually disjoint cells.");
}

}  // namespace velmarin::binding
