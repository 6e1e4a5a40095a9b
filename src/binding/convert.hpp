// Conversions between Python objects and the plain values of the core.
//
// `Converter<T>::load(object, out)` reads an argument into a value, or sets
// the interpreter's error indicator and returns false. `Converter<T>::cast`
// makes a new Python object from a result, or returns nullptr with an error
// set. Classes of the module convert through `Converter` too: a record is
// copied in and out under a shared borrow of its object (declare.hpp).
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "binding/classes.hpp"
#include "binding/errors.hpp"
#include "binding/python.hpp"

namespace velmarin::binding {

template <class T, class Enable = void>
struct Converter;

template <>
struct Converter<double> {
    static bool load(PyObject* object, double& out) {
        out = PyFloat_AsDouble(object);
        return !(out == -1.0 && PyErr_Occurred());
    }
    static PyObject* cast(double value) { return PyFloat_FromDouble(value); }
};

template <>
struct Converter<std::uint64_t> {
    static bool load(PyObject* object, std::uint64_t& out);
    static PyObject* cast(std::uint64_t value) { return PyLong_FromUnsignedLongLong(value); }
};

// None, or what T reads.
template <class T>
struct Converter<std::optional<T>> {
    static bool load(PyObject* object, std::optional<T>& out) {
        if (object == Py_None) {
            out.reset();
            return true;
        }
        return Converter<T>::load(object, out.emplace());
    }
    static PyObject* cast(const std::optional<T>& value) {
        if (value) return Converter<T>::cast(*value);
        Py_INCREF(Py_None);
        return Py_None;
    }
};

template <>
struct Converter<std::string> {
    static bool load(PyObject* object, std::string& out);
    static PyObject* cast(const std::string& value) { return text_object(value).release(); }
};

// A `str` argument as UTF-8, read in place: the encoded bytes are held for
// as long as the value (the call), and nothing is copied into a
// std::string. For large texts that are only read.
struct Utf8Text {
    PyRef bytes;
    std::string_view text;
};

template <>
struct Converter<Utf8Text> {
    static bool load(PyObject* object, Utf8Text& out);
};

// A `str` argument read as UTF-8 one piece after the other, for texts that
// are read once from start to end: each piece's encoding is a few kilobytes
// that stay in cache, where the whole text's would be a second copy of
// hundreds of megabytes. The conversion only checks that it is a str.
struct Utf8Pieces {
    PyRef text;

    // The text's length in characters, a lower bound of its UTF-8 length.
    std::size_t length() const {
        return static_cast<std::size_t>(std::max<Py_ssize_t>(PyUnicode_GetLength(text.get()), 0));
    }

    // Calls `read` with the UTF-8 of each piece, in order; false with the
    // error set when the text has no UTF-8 encoding: the error, noted for
    // `parameter`, of a Utf8Text argument.
    bool read_all(const std::function<void(std::string_view)>& read, const char* parameter) const;
};

template <>
struct Converter<Utf8Pieces> {
    static bool load(PyObject* object, Utf8Pieces& out);
};

// A `bytes` argument read in place, held for as long as the value (the call).
struct BytesView {
    PyRef bytes;
    std::string_view data;
};

template <>
struct Converter<BytesView> {
    static bool load(PyObject* object, BytesView& out);
};

// Any object, held by a strong reference to the very object.
template <>
struct Converter<PyRef> {
    static bool load(PyObject* object, PyRef& out) {
        out = PyRef::borrow(object);
        return true;
    }
    static PyObject* cast(PyRef value) {
        if (!value) {
            Py_INCREF(Py_None);
            return Py_None;
        }
        return value.release();
    }
};

// The checks a list argument makes before it is iterated: not a str, and a
// sequence. False with the TypeError set otherwise.
bool check_list_argument(PyObject* object);

// The sequence's length is only a hint for one reservation: iteration
// decides what the list holds. A list or tuple knows its length; any other
// sequence's __len__ may refuse or over-report, so its hint is capped: a
// wrong one costs a little growth, never an allocation that no memory can
// honour.
inline std::size_t reported_length(PyObject* sequence) {
    constexpr Py_ssize_t unproven_limit = Py_ssize_t{1} << 16;
    const Py_ssize_t length = PySequence_Size(sequence);
    if (length < 0) {
        PyErr_Clear();
        return 0;
    }
    const bool exact = PyList_CheckExact(sequence) || PyTuple_CheckExact(sequence);
    return static_cast<std::size_t>(exact ? length : std::min(length, unproven_limit));
}

// Iterates a list argument that check_list_argument has let through,
// handing each item to `load_item(item)`; the first failure ends it.
template <class LoadItem>
bool for_each_item(PyObject* object, LoadItem&& load_item) {
    PyRef iterator = PyRef::steal(PyObject_GetIter(object));
    if (!iterator) return false;
    while (PyRef item = PyRef::steal(PyIter_Next(iterator.get()))) {
        if (!load_item(item.get())) return false;
    }
    return !PyErr_Occurred();
}

// Reads a list argument: refused as check_list_argument says, otherwise
// iterated, each item loaded into a new last element by
// `load_item(item, element)`; the first failure ends it.
template <class T, class LoadItem>
bool load_items(PyObject* object, std::vector<T>& out, LoadItem&& load_item) {
    if (!check_list_argument(object)) return false;
    out.clear();
    out.reserve(reported_length(object));
    return for_each_item(object, [&](PyObject* item) { return load_item(item, out.emplace_back()); });
}

template <class T>
struct Converter<std::vector<T>> {
    static bool load(PyObject* object, std::vector<T>& out) {
        return load_items(object, out, [](PyObject* item, T& element) { return Converter<T>::load(item, element); });
    }

    static PyObject* cast(std::vector<T> values) {
        PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(values.size())));
        if (!list) return nullptr;
        for (std::size_t i = 0; i < values.size(); ++i) {
            PyObject* item = Converter<T>::cast(std::move(values[i]));
            if (!item) return nullptr;
            PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);
        }
        return list.release();
    }
};

template <class... T>
struct Converter<std::tuple<T...>> {
    static PyObject* cast(std::tuple<T...> values) {
        PyRef tuple = PyRef::steal(PyTuple_New(sizeof...(T)));
        if (!tuple) return nullptr;
        bool ok = [&]<std::size_t... I>(std::index_sequence<I...>) {
            return ([&] {
                PyObject* item = Converter<T>::cast(std::move(std::get<I>(values)));
                return item && PyTuple_SetItem(tuple.get(), I, item) == 0;
            }() && ...);
        }(std::index_sequence_for<T...>{});
        return ok ? tuple.release() : nullptr;
    }
};

template <class T>
using Stored = std::remove_cvref_t<T>;

// Loads one argument and, on failure, notes which parameter it was.
template <class T>
bool load_argument(PyObject* object, T& out, const char* parameter) {
    if (Converter<T>::load(object, out)) return true;
    note_argument(parameter);
    return false;
}

}  // namespace velmarin::binding
