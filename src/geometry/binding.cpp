// Vector3D, Wire and Mesh, and Mesh from and to numpy arrays.
#include "geometry/binding.hpp"

#include <optional>

#include "binding/arrays.hpp"
#include "binding/declare.hpp"
#include "geometry/clean.hpp"
#include "geometry/coplanar_faces.hpp"
#include "geometry/face_normal.hpp"
#include "geometry/mesh_rows.hpp"
#include "geometry/orient.hpp"
#include "geometry/slice.hpp"

namespace velmarin::binding {

namespace {

Vector3D make_vector(double x, double y, double z) { return {x, y, z}; }
constexpr Params vector_new{"Vector3D", "__new__", "x", "y", "z"};

Wire make_wire(Vector3D start, Vector3D end) { return {start, end}; }
constexpr Params wire_new{"Wire", "__new__", "start", "end"};

Result<Mesh> make_mesh(std::vector<Vector3D> vertices, FaceList faces) {
    return build_mesh(std::move(vertices), std::move(faces));
}
constexpr Params mesh_new{"Mesh", "__new__", "vertices", "faces"};

std::vector<Vector3D> mesh_vertices(const Mesh& mesh) { return mesh.vertices; }
FaceList mesh_faces(const Mesh& mesh) { return mesh.faces; }

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

Result<Mesh> mesh_merge_equal_vertices(const Mesh& mesh) { return merge_equal_vertices(mesh); }
constexpr Params mesh_merge_equal_vertices_params{"Mesh", "merge_equal_vertices"};

Result<Mesh> mesh_orient_outward(const Mesh& mesh) { return orient_outward(mesh); }
constexpr Params mesh_orient_outward_params{"Mesh", "orient_outward"};

Result<Mesh> mesh_merge_coplanar_faces(const Mesh& mesh, std::optional<double> normal_tolerance,
                                       std::optional<double> offset_tolerance) {
    const CoplanarTolerance defaults;
    return merge_coplanar_faces(
        mesh, {normal_tolerance.value_or(defaults.normal), offset_tolerance.value_or(defaults.offset)});
}
Result<Mesh> mesh_select_faces(const Mesh& mesh, std::vector<std::uint64_t> positions) {
    return select_faces(mesh, positions);
}
constexpr Params mesh_select_faces_params{"Mesh", "select_faces", "positions"};

constexpr Params mesh_merge_coplanar_faces_params{"Mesh", "merge_coplanar_faces", DefaultsToNone{"normal_tolerance"},
                                                  DefaultsToNone{"offset_tolerance"}};

}  // namespace

// --- numpy arrays -------------------------------------------------------------

namespace {

// The arguments of Mesh.from_arrays, read through numpy (binding/arrays.hpp).
struct VertexArray {
    std::vector<Vector3D> vertices;
};
struct FaceArray {
    FaceList faces;
};

constexpr Params mesh_from_arrays_params{"Mesh", "from_arrays", "vertices", "faces"};
constexpr Params mesh_to_arrays_params{"Mesh", "to_arrays"};
constexpr Params mesh_face_normals_params{"Mesh", "face_normals"};

}  // namespace

template <>
struct Converter<VertexArray> {
    // Rows of three reals of any float or integer dtype, in any memory order.
    static bool load(PyObject* object, VertexArray& out) {
        PyRef numpy = import_numpy_for(mesh_from_arrays_params);
        PyRef array = numpy ? as_array(numpy.get(), object) : PyRef();
        const char kind = array ? dtype_kind(array.get()) : 0;
        if (kind != 'f' && kind != 'i' && kind != 'u') {
            if (kind) refuse_dtype(array.get(), "vertices", "real numbers");
            return false;
        }
        ArrayRows<double> rows;
        if (!read_rows(numpy.get(), array.get(), {"vertices", "(n, 3)", 3}, rows)) return false;
        out.vertices = vertices_from_rows(rows.values);
        return true;
    }
};

template <>
struct Converter<FaceArray> {
    // An integer array's rows; faces of any lengths (a list, a tuple, an
    // object array) one by one.
    static bool load(PyObject* object, FaceArray& out) {
        if (PyList_Check(object) || PyTuple_Check(object) || !offers_array(object)) {
            return load_in_turn(object, out.faces);
        }
        PyRef numpy = import_numpy_for(mesh_from_arrays_params);
        PyRef array = numpy ? as_array(numpy.get(), object) : PyRef();
        const char kind = array ? dtype_kind(array.get()) : 0;
        switch (kind) {
            case 'O': return load_in_turn(array.get(), out.faces);
            case 'i': return load_rows<std::int64_t>(numpy.get(), array.get(), out.faces);
            case 'u': return load_rows<std::uint64_t>(numpy.get(), array.get(), out.faces);
            case 0: return false;
            default:
                // `np.array([])` is float64: an array without values has no wrong ones.
                if (is_empty(array.get())) return load_rows<std::int64_t>(numpy.get(), array.get(), out.faces);
                if (!PyErr_Occurred()) refuse_dtype(array.get(), "faces", "integers");
                return false;
        }
    }

private:
    template <class Index>
    static bool load_rows(PyObject* numpy, PyObject* array, FaceList& out) {
        ArrayRows<Index> rows;
        if (!read_rows(numpy, array, {"faces", "(m, k)", 0}, rows)) return false;
        Result<FaceList> faces = faces_from_rows(rows.values, rows.rows, rows.width);
        if (!faces.ok()) {
            raise_error(faces.error());
            return false;
        }
        out = std::move(faces).value();
        return true;
    }

    // As Mesh(...) reads its faces.
    static bool load_in_turn(PyObject* object, FaceList& out) { return load_faces(object, out, load_index); }

    // Mesh(...)'s unsigned conversion, except that a negative number is a
    // ValueError naming its face, as it is in an array.
    static bool load_index(PyObject* item, std::size_t face, std::uint64_t& out) {
        PyRef index = PyLong_Check(item) ? PyRef::borrow(item) : PyRef::steal(PyNumber_Index(item));
        if (!index) return false;
        int overflow = 0;
        const long long value = PyLong_AsLongLongAndOverflow(index.get(), &overflow);
        if (value == -1 && PyErr_Occurred()) return false;
        if (overflow < 0 || (overflow == 0 && value < 0)) {
            PyRef text =
                PyRef::steal(PyUnicode_FromFormat("Face %zu references negative index %S.", face, index.get()));
            if (text) PyErr_SetObject(PyExc_ValueError, text.get());
            return false;
        }
        return Converter<std::uint64_t>::load(index.get(), out);
    }
};

namespace {

Result<Mesh> mesh_from_arrays(VertexArray vertices, FaceArray faces) {
    return build_mesh(std::move(vertices.vertices), std::move(faces.faces));
}

// Faces of one length k as an (m, k) block, a mesh without faces as an
// empty block of triangles; otherwise the pair (indices, offsets).
PyRef face_arrays(PyObject* numpy, const FaceList& faces) {
    const std::size_t width = common_face_length(faces);
    std::span<std::int64_t> corners;
    if (width != 0 || faces.empty()) {
        PyRef block = new_array(numpy, {faces.size(), faces.empty() ? 3 : width}, corners);
        if (block) copy_corners(faces, corners);
        return block;
    }
    std::span<std::int64_t> offsets;
    PyRef indices = new_array(numpy, {faces.indices().size()}, corners);
    PyRef starts = indices ? new_array(numpy, {faces.size() + 1}, offsets) : PyRef();
    if (!starts) return {};
    copy_corners(faces, corners);
    copy_offsets(faces, offsets);
    return PyRef::steal(PyTuple_Pack(2, indices.get(), starts.get()));
}

// New arrays, never views: changing them leaves the mesh as it is.
Made mesh_to_arrays(const Mesh& mesh) {
    PyRef numpy = import_numpy_for(mesh_to_arrays_params);
    if (!numpy) return {};
    std::span<double> coordinates;
    PyRef vertices = new_array(numpy.get(), {mesh.vertices.size(), 3}, coordinates);
    if (!vertices) return {};
    copy_coordinates(mesh.vertices, coordinates);
    PyRef faces = face_arrays(numpy.get(), mesh.faces);
    if (!faces) return {};
    return {PyRef::steal(PyTuple_Pack(2, vertices.get(), faces.get()))};
}

// A new (m, 3) array, like the vertices of to_arrays().
Made mesh_face_normals(const Mesh& mesh) {
    PyRef numpy = import_numpy_for(mesh_face_normals_params);
    if (!numpy) return {};
    const std::vector<Vector3D> normals = face_normals(mesh);
    std::span<double> coordinates;
    PyRef array = new_array(numpy.get(), {normals.size(), 3}, coordinates);
    if (!array) return {};
    copy_coordinates(normals, coordinates);
    return {std::move(array)};
}

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
                method<mesh_merge_equal_vertices, mesh_merge_equal_vertices_params>(
                    "Returns the mesh with every set of vertices at equal coordinates made one (== on each\n"
                    "coordinate: -0.0 is 0.0, NaN equals nothing): the first of each set, in their order.\n"
                    "Faces are renumbered onto them and otherwise kept, none dropped."),
                method<mesh_orient_outward, mesh_orient_outward_params>(
                    "Returns the mesh with its faces wound alike across every edge exactly two of them\n"
                    "share, and each connected shell turned whole (corners reversed) where it then\n"
                    "encloses a negative volume: a closed solid's faces all face out. Vertices and face\n"
                    "order stay; a flat shell keeps the winding of its lowest face."),
                method<mesh_merge_coplanar_faces, mesh_merge_coplanar_faces_params>(
                    "Returns the mesh with coplanar faces that share edges merged into the polygon they\n"
                    "tile, wound as they were. Faces are coplanar when their unit normals have\n"
                    "n1 . n2 > 1 - normal_tolerance (None: 1e-9) and their planes' offsets from the origin\n"
                    "differ by less than offset_tolerance (None: 1e-6, in the mesh's unit). A group\n"
                    "whose outline is not one simple loop (a hole, faces touching at a corner, faces\n"
                    "wound against each other) stays as its faces. Vertices stay."),
                method<mesh_select_faces, mesh_select_faces_params>(
                    "Returns a mesh of the faces at the given positions, in that order, with all the\n"
                    "vertices; IndexError for a position past the faces."),
                method<mesh_face_normals, mesh_face_normals_params>(
                    "Returns the unit normal of each face as a new float64 numpy array of shape (m, 3):\n"
                    "Newell's normal, towards the side from which the face's corners run\n"
                    "counter-clockwise; NaN for a face without area. Needs numpy."),
                static_method<mesh_from_arrays, mesh_from_arrays_params>(
                    "Builds a Mesh from arrays, validated as Mesh(vertices, faces) is: vertices an (n, 3)\n"
                    "array of reals (any float or integer dtype, any memory order, or nested lists),\n"
                    "faces an (m, k) integer array or a sequence of index sequences of any lengths.\n"
                    "Needs numpy."),
                method<mesh_to_arrays, mesh_to_arrays_params>(
                    "Returns (vertices, faces) as new numpy arrays: vertices float64 of shape (n, 3);\n"
                    "faces int64 of shape (m, k) when every face has k indices ((0, 3) without faces),\n"
                    "otherwise the pair (indices, offsets), face i being indices[offsets[i]:offsets[i + 1]].\n"
                    "Needs numpy."),
            },
    });
    return def;
}

}  // namespace velmarin::binding
