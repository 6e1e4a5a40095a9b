// _velmarin_probe: a test-only module on the same binding toolkit as
// velmarin. It provokes on purpose what the real module must never do from
// ordinary input (internal faults, borrow conflicts), so that the tests can
// see how the toolkit reports them.
#include <vector>

#include "binding/declare.hpp"
#include "core/fault.hpp"
#include "geometry/binding.hpp"
#include "graph/shortest_path.hpp"
#include "ifc/reader.hpp"
#include "probe_graph_build.hpp"

namespace velmarin::binding {

struct Probe {
    double value = 0.0;
};

namespace {

Probe make_probe(double value) { return {value}; }
constexpr Params probe_new{"Probe", "__new__", "value"};

// Calls back into Python while the probe is borrowed.
Made call_while_exclusive(Probe&, PyRef callback) {
    return {PyRef::steal(PyObject_CallObject(callback.get(), nullptr))};
}
constexpr Params exclusive_params{"Probe", "call_while_exclusive", "callback"};

Made call_while_shared(const Probe&, PyRef callback) {
    return {PyRef::steal(PyObject_CallObject(callback.get(), nullptr))};
}
constexpr Params shared_params{"Probe", "call_while_shared", "callback"};

Result<void> raise_fault(std::string message) { fault(message); }
constexpr Params fault_params{nullptr, "raise_fault", "message"};

std::uint64_t read_checked(std::uint64_t length, std::uint64_t index) {
    std::vector<std::uint64_t> items(length, 1);
    return checked(items, index);
}
constexpr Params checked_params{nullptr, "read_checked", "length", "index"};

double as_float(double value) { return value; }
constexpr Params float_params{nullptr, "as_float", "value"};

// The path search with 64-bit positions, which only graphs too large for
// 32-bit ones take, on plain lists: centroids as [x, y, z], edges as [a, b].
std::vector<std::uint64_t> wide_path(std::vector<std::vector<double>> centroids,
                                     std::vector<std::vector<std::uint64_t>> ends, std::uint64_t start,
                                     std::uint64_t end) {
    PathSearch<std::uint64_t> search;
    std::span<Vector3D> slots = search.begin(centroids.size(), ends.size());
    for (std::size_t i = 0; i < centroids.size(); ++i) slots[i] = probe_graph::point(centroids[i]);
    for (const auto& edge : ends) search.add_edge(checked(edge, 0), checked(edge, 1));
    return search.run(start, end);
}
constexpr Params wide_path_params{nullptr, "wide_path", "centroids", "ends", "start", "end"};

// 1 when a graph of this size is searched with 32-bit positions.
std::uint64_t narrow_path_fits(std::uint64_t node_count, std::uint64_t edge_count) {
    return PathSearch<std::uint32_t>::fits(node_count, edge_count) ? 1 : 0;
}
constexpr Params narrow_fits_params{nullptr, "narrow_path_fits", "node_count", "edge_count"};

// The IFC reader fed `piece_length` bytes at a time, cut anywhere (inside a
// UTF-8 character too) and told the whole length ahead, as plain rows: the
// vertices as (x, y, z) and the faces.
using IfcRows = std::tuple<std::vector<std::tuple<double, double, double>>, FaceList>;
Result<IfcRows> ifc_in_pieces(Utf8Text text, std::uint64_t piece_length) {
    check(piece_length > 0, "pieces of at least one byte");
    ifc::PointsAndLoopsReader reader(text.text.size());
    for (std::size_t start = 0; start < text.text.size(); start += piece_length)
        reader.read(text.text.substr(start, piece_length));
    Result<Mesh> mesh = std::move(reader).finish();
    if (!mesh.ok()) return mesh.error();
    std::vector<std::tuple<double, double, double>> vertices;
    for (const Vector3D& v : mesh.value().vertices) vertices.emplace_back(v.x, v.y, v.z);
    return IfcRows{std::move(vertices), std::move(mesh.value().faces)};
}
constexpr Params ifc_pieces_params{nullptr, "ifc_in_pieces", "text", "piece_length"};

PyMethodDef functions[] = {
    function<raise_fault, fault_params>(""),
    function<read_checked, checked_params>(""),
    function<as_float, float_params>(""),
    function<probe_graph::literal, probe_graph::literal_params>(""),
    function<probe_graph::indexed, probe_graph::indexed_params>(""),
    function<probe_graph::walls_literal, probe_graph::walls_literal_params>(""),
    function<probe_graph::walls_indexed, probe_graph::walls_indexed_params>(""),
    function<wide_path, wide_path_params>(""),
    function<narrow_path_fits, narrow_fits_params>(""),
    function<ifc_in_pieces, ifc_pieces_params>(""),
    {},
};

int exec_probe(PyObject* module) noexcept {
    return guarded(
        [&]() -> int {
            PyTypeObject* type = type_of<Probe>();
            if (!type) return -1;
            Py_INCREF(type);
            if (PyModule_AddObject(module, "Probe", reinterpret_cast<PyObject*>(type)) != 0) {
                Py_DECREF(type);
                return -1;
            }
            return PyModule_AddFunctions(module, functions);
        },
        -1);
}

PyModuleDef_Slot slots[] = {{Py_mod_exec, reinterpret_cast<void*>(&exec_probe)}, {0, nullptr}};

PyModuleDef definition = {
    .m_base = PyModuleDef_HEAD_INIT,
    .m_name = "_velmarin_probe",
    .m_doc = "Test support: provokes internal faults and borrow conflicts.",
    .m_size = 0,
    .m_methods = nullptr,
    .m_slots = slots,
    .m_traverse = nullptr,
    .m_clear = nullptr,
    .m_free = nullptr,
};

}  // namespace

template <>
const ClassDef& class_def<Probe>() {
    static const ClassDef def = define_class<Probe>({
        .name = "Probe",
        .sentence = "",
        .constructor = constructor<make_probe, probe_new>(),
        .properties = {field<&Probe::value>("value")},
        .methods =
            {
                method<call_while_exclusive, exclusive_params>(),
                method<call_while_shared, shared_params>(),
            },
    });
    return def;
}

}  // namespace velmarin::binding

PyMODINIT_FUNC PyInit__velmarin_probe(void) { return PyModuleDef_Init(&velmarin::binding::definition); }
