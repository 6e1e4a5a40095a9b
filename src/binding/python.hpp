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

#include <optional>
#include <string_view>
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

// The one conversion of text each way between the module and the
// interpreter, both in UTF-8.

// A new str of the UTF-8 bytes `utf8`; empty with the error set.
inline PyRef text_object(std::string_view utf8) {
    return PyRef::steal(PyUnicode_FromStringAndSize(utf8.data(), static_cast<Py_ssize_t>(utf8.size())));
}

// The UTF-8 encoding of the str `text`, viewed in the bytes object that
// `holder` keeps; nullopt with the error set (a lone surrogate has no
// encoding).
inline std::optional<std::string_view> utf8_view(PyObject* text, PyRef& holder) {
    holder = PyRef::steal(PyUnicode_AsUTF8String(text));
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (!holder || PyBytes_AsStringAndSize(holder.get(), &data, &size) != 0) return std::nullopt;
    return std::string_view(data, static_cast<std::size_t>(size));
}

}  // namespace velmarin::binding
