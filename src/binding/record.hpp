// How objects of the module's own classes cross the boundary: value records
// are copied in and out; graph items are held by reference.
#pragma once

#include "binding/classes.hpp"
#include "binding/convert.hpp"

namespace velmarin::binding {

// A value record (a vector, a wire, a mesh): loading an argument copies the
// payload under a shared borrow of the passed object; a result becomes a
// new object holding the value. Opt in per class:
//     template <> struct Converter<Vector3D> : RecordConverter<Vector3D> {};
template <class P>
struct RecordConverter {
    static bool load(PyObject* object, P& out) {
        if (!is_instance<P>(object)) {
            if (!PyErr_Occurred()) raise_not_instance(object, class_def<P>().name);
            return false;
        }
        Instance<P>* source = instance_of<P>(object);
        auto borrow = SharedBorrow::take(source->borrow);
        if (!borrow) return false;
        out = source->payload;
        return true;
    }
    static PyObject* cast(P value) { return new_instance<P>(std::move(value)); }
};

// A strong reference to an object of class P, sharing it rather than copying.
template <class P>
class Ref {
public:
    Ref() = default;
    explicit Ref(PyRef object) : object_(std::move(object)) {}

    PyObject* get() const noexcept { return object_.get(); }
    Instance<P>* instance() const noexcept { return instance_of<P>(object_.get()); }

private:
    PyRef object_;
};

template <class P>
struct Converter<Ref<P>> {
    static bool load(PyObject* object, Ref<P>& out) {
        if (!is_instance<P>(object)) {
            if (!PyErr_Occurred()) raise_not_instance(object, class_def<P>().name);
            return false;
        }
        out = Ref<P>(PyRef::borrow(object));
        return true;
    }
    static PyObject* cast(const Ref<P>& value) {
        Py_INCREF(value.get());
        return value.get();
    }
};

}  // namespace velmarin::binding
