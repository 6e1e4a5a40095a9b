#include "binding/classes.hpp"

#include <vector>

#include "binding/errors.hpp"
#include "binding/names.hpp"
#include "core/fault.hpp"

namespace velmarin::binding {

namespace {

// The refusing constructor of classes that Python cannot construct.
PyObject* refuse_construction(PyTypeObject* type, PyObject*, PyObject*) noexcept {
    return guarded(
        [&]() -> PyObject* {
            PyObject* as_object = reinterpret_cast<PyObject*>(type);
            PyRef module = PyRef::steal(PyObject_GetAttr(as_object, interned_module()));
            PyRef qualname = PyRef::steal(module ? PyObject_GetAttr(as_object, interned_qualname()) : nullptr);
            if (!qualname) return nullptr;
            PyErr_Format(PyExc_TypeError, "cannot create '%U.%U' instances", module.get(), qualname.get());
            return nullptr;
        },
        static_cast<PyObject*>(nullptr));
}

// Releasing an object releases what its payload holds, and that may release
// further objects: a chain of nodes linked through their attributes would
// recurse once per link until the stack ran out. Past this depth a dying
// object waits, and the outermost release destroys the waiting ones one
// after another, so the depth stays bounded however long the chain.
constexpr int deepest_release = 100;
thread_local int release_depth = 0;
thread_local std::vector<PyObject*> parked;

}  // namespace

void release_instance(PyObject* object, void (*destroy)(PyObject*) noexcept) noexcept {
    if (release_depth >= deepest_release) {
        try {
            parked.push_back(object);
            return;
        } catch (const std::bad_alloc&) {
            // no room to wait: released in place
        }
    }
    ++release_depth;
    destroy(object);
    if (release_depth == 1) {
        while (!parked.empty()) {
            PyObject* waiting = parked.back();
            parked.pop_back();
            // Its own dealloc slot, entered at depth 1: destroyed at once.
            auto dealloc = reinterpret_cast<destructor>(PyType_GetSlot(Py_TYPE(waiting), Py_tp_dealloc));
            dealloc(waiting);
        }
    }
    --release_depth;
}

PyTypeObject* create_type(const ClassDef& def) {
    // Both tables end in a zeroed sentinel and must outlive the type.
    auto* properties = new std::vector<PyGetSetDef>(def.properties);
    properties->push_back({});
    auto* methods = new std::vector<PyMethodDef>(def.methods);
    methods->push_back({});

    std::vector<PyType_Slot> slots;
    if (!def.doc.empty()) slots.push_back({Py_tp_doc, const_cast<char*>(lasting(def.doc))});
    slots.push_back({Py_tp_new, reinterpret_cast<void*>(def.constructor ? def.constructor : refuse_construction)});
    slots.push_back({Py_tp_dealloc, reinterpret_cast<void*>(def.dealloc)});
    if (!def.properties.empty()) slots.push_back({Py_tp_getset, properties->data()});
    if (!def.methods.empty()) slots.push_back({Py_tp_methods, methods->data()});
    slots.push_back({0, nullptr});

    PyType_Spec spec = {
        .name = lasting("builtins." + def.name),
        .basicsize = static_cast<int>(def.basic_size),
        .itemsize = 0,
        .flags = Py_TPFLAGS_DEFAULT,
        .slots = slots.data(),
    };
    PyObject* type = PyType_FromSpec(&spec);
    if (!type) {
        PyErr_Clear();
        fault("An error occurred while initializing class " + def.name);
    }
    return reinterpret_cast<PyTypeObject*>(type);
}

}  // namespace velmarin::binding
