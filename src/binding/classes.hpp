// The shape every class shares, and the registry of their type objects.
//
// A class is a payload record P (a plain value of the core, or a binding-side
// record) laid out after the object header with its borrow flag. Each class
// declares itself once by specialising `class_def<P>()` (see declare.hpp);
// its type object is made from that on first use and then lives for the
// whole process.
#pragma once

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "binding/borrow.hpp"
#include "binding/once.hpp"
#include "binding/python.hpp"

namespace velmarin::binding {

template <class P>
struct Instance {
    PyObject header;
    // Beside the header, so that a borrow and the first payload fields
    // usually share one cache line: walks over many small objects (a
    // graph's edges) touch one line per object instead of two.
    BorrowFlag borrow;
    P payload;
};

template <class P>
Instance<P>* instance_of(PyObject* object) noexcept {
    return reinterpret_cast<Instance<P>*>(object);
}

// Everything the type machinery needs to make one class.
struct ClassDef {
    std::string name;         // the bare class name, "Vector3D"
    std::string doc;          // signature line, "--", blank line, sentence
    Py_ssize_t basic_size;
    newfunc constructor;      // nullptr: the class refuses construction
    destructor dealloc;
    std::vector<PyGetSetDef> properties;
    std::vector<PyMethodDef> methods;
};

// Specialised once per class, next to its binding.
template <class P>
const ClassDef& class_def();

// Keeps a text alive for the rest of the process: names and documentation
// handed to the interpreter must outlive the types (on 3.9 and 3.10 even the
// spec's name is not copied).
const char* lasting(std::string text);

// Creates the type object from its definition; nullptr with an error set.
PyTypeObject* create_type(const ClassDef& def);

template <class P>
PyTypeObject* type_of() {
    static GilSafeOnce<PyTypeObject*> cell;
    PyTypeObject** type = cell.get([]() -> std::optional<PyTypeObject*> {
        PyTypeObject* made = create_type(class_def<P>());
        if (!made) return std::nullopt;
        return made;
    });
    return type ? *type : nullptr;
}

template <class P>
bool is_instance(PyObject* object) {
    PyTypeObject* type = type_of<P>();
    return type && PyObject_TypeCheck(object, type);
}

// Allocates an object of `type` holding `payload`; nullptr with an error set.
template <class P>
PyObject* new_instance_of(PyTypeObject* type, P&& payload) {
    auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
    PyObject* object = alloc(type, 0);
    if (!object) return nullptr;
    Instance<P>* self = instance_of<P>(object);
    new (&self->payload) P(std::forward<P>(payload));
    new (&self->borrow) BorrowFlag();
    return object;
}

template <class P>
PyObject* new_instance(P payload) {
    PyTypeObject* type = type_of<P>();
    return type ? new_instance_of<P>(type, std::move(payload)) : nullptr;
}

// Runs `destroy` on a dying object of a class of this module, or parks the
// object for later when releases already nest deep on this thread.
void release_instance(PyObject* object, void (*destroy)(PyObject*) noexcept) noexcept;

template <class P>
void destroy_instance(PyObject* object) noexcept {
    PyTypeObject* type = Py_TYPE(object);
    Instance<P>* self = instance_of<P>(object);
    self->payload.~P();
    self->borrow.~BorrowFlag();
    auto free_object = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
    free_object(object);
    Py_DECREF(type);
}

template <class P>
void dealloc_instance(PyObject* object) noexcept {
    release_instance(object, &destroy_instance<P>);
}

}  // namespace velmarin::binding
