// The module `velmarin`: its definition, the registry of its classes in the
// order of `__all__`, and the execution slot that adds them.
#include <string>
#include <vector>

#include "binding/declare.hpp"
#include "binding/names.hpp"
#include "extrusion/binding.hpp"
#include "geometry/binding.hpp"
#include "graph/binding.hpp"
#include "ifc/binding.hpp"
#include "registry/binding.hpp"

namespace velmarin::binding {

namespace {

using TypeGetter = PyTypeObject* (*)();

// Registration order: the order of `__all__`.
// clang-format off
const TypeGetter class_registry[] = {
    type_of<Vector3D>,
    type_of<GraphNode>,
    type_of<GraphEdge>,
    type_of<WireContact>,
    type_of<SpatialGraph>,
    type_of<Wire>,
    type_of<Mesh>,
    type_of<TopologicalEntity>,
    type_of<SpatialRegistry>,
    type_of<IfcParser>,
};
// clang-format on

std::vector<PyMethodDef>& module_functions() {
    static std::vector<PyMethodDef> functions = {boolean_join_extruded_function()};
    return functions;
}

// Appends `name` to the module's `__all__` (creating the list if the module
// has none) and sets the attribute.
bool add_name(PyObject* module, PyObject* name, PyObject* object) {
    PyRef all = PyRef::steal(PyObject_GetAttr(module, interned_all()));
    if (!all) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return false;
        PyErr_Clear();
        all = PyRef::steal(PyList_New(0));
        if (!all || PyObject_SetAttr(module, interned_all(), all.get()) != 0) return false;
    }
    if (!PyList_Check(all.get())) {
        raise_not_instance(all.get(), "list");
        return false;
    }
    if (PyList_Append(all.get(), name) != 0) {
        PyErr_Clear();
        fault("could not append __name__ to __all__");
    }
    return PyObject_SetAttr(module, name, object) == 0;
}

bool register_type(PyObject* module, TypeGetter get) {
    PyTypeObject* type = get();
    if (!type) return false;
    PyObject* as_object = reinterpret_cast<PyObject*>(type);
    PyRef name = PyRef::steal(PyObject_GetAttr(as_object, interned_name()));
    return name && add_name(module, name.get(), as_object);
}

bool register_function(PyObject* module, PyMethodDef& definition) {
    PyRef module_name = PyRef::steal(PyModule_GetNameObject(module));
    if (!module_name) return false;
    PyRef function = PyRef::steal(PyCFunction_NewEx(&definition, module, module_name.get()));
    if (!function) return false;
    PyRef name = PyRef::steal(PyObject_GetAttr(function.get(), interned_name()));
    return name && add_name(module, name.get(), function.get());
}

int exec_module(PyObject* module) noexcept {
    return guarded(
        [&]() -> int {
            if (!PyModule_Check(module)) {
                raise_not_instance(module, "module");
                return -1;
            }
            for (TypeGetter get : class_registry) {
                if (!register_type(module, get)) return -1;
            }
            for (PyMethodDef& definition : module_functions()) {
                if (!register_function(module, definition)) return -1;
            }
            return 0;
        },
        -1);
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&exec_module)},
    {0, nullptr},
};

PyModuleDef module_definition = {
    .m_base = PyModuleDef_HEAD_INIT,
    .m_name = "velmarin",
    .m_doc = "",
    .m_size = 0,
    .m_methods = nullptr,
    .m_slots = module_slots,
    .m_traverse = nullptr,
    .m_clear = nullptr,
    .m_free = nullptr,
};

}  // namespace

}  // namespace velmarin::binding

PyMODINIT_FUNC PyInit_velmarin(void) { return PyModuleDef_Init(&velmarin::binding::module_definition); }
