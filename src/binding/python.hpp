// The one include of the interpreter's headers, and an owning reference.
//
// The module is built against the stable ABI at the 3.9 level: Py_LIMITED_API
// is set by the build, and nothing here may reach past it.
#pragma once

#ifndef Py_LIMITED_API
#error "the binding is compiled against the limited API only"
#endif

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

namespace velmarin::binding {

// An owned strong reference; releases it when it goes out of scope.
class PyRef {
public:
    PyRef() noexcept = default;
    static PyRef steal(PyObject* o) noexcept { return PyRef(o); }
    static PyRef borrow(PyObject* o) noexcept {
        Py_XINCREF(o);
        return PyRef(o);
    }

    PyRef(PyRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    PyRef& operator=(PyRef&& other) noexcept {
        if (this != &other) {
            PyObject* old = std::exchange(object_, std::exchange(other.object_, nullptr));
            Py_XDECREF(old);
        }
        return *this;
    }
    PyRef(const PyRef& other) noexcept : object_(other.object_) { Py_XINCREF(object_); }
    PyRef& operator=(const PyRef& other) noexcept {
        PyRef copy(other);
        return *this = std::move(copy);
    }
    ~PyRef() { Py_XDECREF(object_); }

    PyObject* get() const noexcept { return object_; }
    PyObject* release() noexcept { return std::exchange(object_, nullptr); }
    explicit operator bool() const noexcept { return object_ != nullptr; }

private:
    explicit PyRef(PyObject* o) noexcept : object_(o) {}
    PyObject* object_ = nullptr;
};

}  // namespace velmarin::binding
