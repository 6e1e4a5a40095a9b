// Vector3D, Wire and Mesh.
#include "geometry/binding.hpp"

#include "binding/declare.hpp"
#include "geometry/clean.hpp"
#include "geometry/slice.hpp"

namespace velmarin::binding {

namespace {

Vector3D make_vector(double x, double y, double z) { return {x, y, z}; }
constexpr Params vector_new{"Vector3D", "__new__", "x", "y", "z"};

Wire make_wire(Vector3D start, Vector3D end) { return {start, end}; }
constexpr Params wire_new{"Wire", "__new__", "start", "end"};

Result<Mesh> make_mesh(std::vector<Vector3D> vertices, std::vector<Face> faces) {
    return build_mesh(std::move(vertices), std::move(faces));
}
constexpr Params mesh_new{"Mesh", "__new__", "vertices", "faces"};

std::vector<Vector3D> mesh_vertices(const Mesh& mesh) { return mesh.vertices; }
std::vector<Face> mesh_faces(const Mesh& mesh) { return mesh.faces; }

Result<void> mesh_validate(const Mesh& mesh) { return validate(mesh); }
constexpr Params mesh_validate_params{"Mesh", "validate"};

Result<Mesh> mesh_clean(const Mesh& mesh, double tolerance) { return clean_mesh(mesh, tolerance); }
constexpr Params mesh_clean_params{"Mesh", "clean", "tolerance"};

Vector3D mesh_centroid(const Mesh& mesh) { return vertex_mean(mesh); }
constexpr Params mesh_centroid_params{"Mesh", "compute_volume_centroid"};

Result<std::tuple<Mesh, Mesh>> mesh_slice(const Mesh& mesh, Vector3D normal, Vector3D origin) {
    Result<SlicedMesh> sliced = slice_by_plane(mesh, normal, origin);
    if (!sliced.ok()) return sliced.error();
    return std::tuple{std::move(sliced.value().above), std::move(sliced.value().below)};
}
constexpr Params mesh_slice_params{"Mesh", "slice_by_plane", "normal", "origin"};

}  // namespace

template <>
const ClassDef& class_def<Vector3D>() {
    static const ClassDef def = define_class<Vector3D>({
        .name = "Vector3D",
        .sentence = "Standard 3D vector representation.",
        .constructor = constructor<make_vector, vector_new>(),
        .properties = {field<&Vector3D::x>("x"), field<&Vector3D::y>("y"), field<&Vector3D::z>("z")},
    });
    return def;
}

template <>
const ClassDef& class_def<Wire>() {
    static const ClassDef def = define_class<Wire>({
        .name = "Wire",
        .sentence = "Represents a 1D linear element (columns, beams, or wires).",
        .constructor = constructor<make_wire, wire_new>(),
        .properties = {field<&Wire::start>("start"), field<&Wire::end>("end")},
    });
    return def;
}

template <>
const ClassDef& class_def<Mesh>() {
    static const ClassDef def = define_class<Mesh>({
        .name = "Mesh",
        .sentence = "A high-performance polygonal mesh representation tailored for architectural geometry.",
        .constructor = constructor<make_mesh, mesh_new>(),
        .properties = {property<mesh_vertices>("vertices"), property<mesh_faces>("faces")},
        .methods =
            {
                method<mesh_validate, mesh_validate_params>(),
                method<mesh_clean, mesh_clean_params>(
                    "Performs O(N) vertex welding and filters out degenerate/collapsed faces."),
                method<mesh_centroid, mesh_centroid_params>("Computes the 3D centroid of the entire mesh volume."),
                method<mesh_slice, mesh_slice_params>(
                    "True 3D Freeform Mesh Slicing Engine. Splits an arbitrary mesh using a 3D Plane.\n"
                    "Returns a tuple of two valid 3D meshes (above_plane_mesh, below_plane_mesh)."),
            },
    });
    return def;
}

}  // namespace velmarin::binding
