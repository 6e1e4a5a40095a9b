// numpy arrays in and out of the module.
//
// numpy is imported by the calls that exchange arrays, never by `import
// velmarin`, so the module works without it. The 3.9 limited API has no
// buffer protocol: arrays are read and written through numpy's array
// interface (`__array_interface__`: a data pointer, a shape and a type
// string), and only numpy's own arrays (no subclass) that are C-contiguous
// and aligned in the one element type expected: as given, or as numpy has
// just made them so (`numpy.require`, `numpy.empty`).
// A data pointer is used only while its array is held, and the interpreter
// lock is kept throughout, so nothing can move or free the memory.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <utility>

#include "binding/arguments.hpp"
#include "binding/python.hpp"

namespace velmarin::binding {

// The numpy module, or nullptr with an ImportError that says `callable`
// needs numpy and how to install it (numpy's own error as its cause).
PyRef import_numpy(const std::string& callable);

// The same for the callable of a parameter table.
template <std::size_t N>
PyRef import_numpy_for(const Params<N>& params) {
    return import_numpy(callable_text(params.owner, params.name));
}

// A numpy array, or an object that offers one of the array protocols.
bool offers_array(PyObject* object);

// numpy.asarray(object).
PyRef as_array(PyObject* numpy, PyObject* object);

// The array's dtype kind: 'f', 'i', 'u', 'b', 'c', 'O', ...; 0 with the
// error set.
char dtype_kind(PyObject* array);

// Whether the array holds no element at all; false with the error set
// when numpy cannot say.
bool is_empty(PyObject* array);

// TypeError "<parameter> must hold <wanted>; numpy reads them as <dtype>".
void refuse_dtype(PyObject* array, const char* parameter, const char* wanted);

// The element types exchanged, by their numpy names and the array
// interface's type strings (native byte order).
template <class T>
struct Dtype;
inline constexpr bool native_little = std::endian::native == std::endian::little;
template <>
struct Dtype<double> {
    static constexpr const char* name = "float64";
    static constexpr const char* typestr = native_little ? "<f8" : ">f8";
};
template <>
struct Dtype<std::int64_t> {
    static constexpr const char* name = "int64";
    static constexpr const char* typestr = native_little ? "<i8" : ">i8";
};
template <>
struct Dtype<std::uint64_t> {
    static constexpr const char* name = "uint64";
    static constexpr const char* typestr = native_little ? "<u8" : ">u8";
};
// An object array's elements are strong references; fill the slots of a
// new one with put_object only.
template <>
struct Dtype<PyObject*> {
    static constexpr const char* name = "object";
    static constexpr const char* typestr = "|O";
};

// What a block of rows must look like: two dimensions, rows of `width`
// values (any width when 0). An empty one-dimensional array, as `[]`
// becomes, is a block without rows. A `column` is one dimension instead,
// read as rows of one value.
struct RowShape {
    const char* parameter;  // the argument, as messages name it
    const char* text;       // the shape, as messages show it: "(n, 3)"
    std::size_t width;
    bool column = false;
};

// Rows of equal width read in place; valid while `array` is held.
template <class T>
struct ArrayRows {
    PyRef array;
    std::span<const T> values;
    std::size_t rows = 0;
    std::size_t width = 0;
};

namespace detail {

struct Block {
    PyRef array;
    void* data = nullptr;
    std::size_t rows = 0;
    std::size_t width = 0;
};

bool read_block(PyObject* numpy, PyObject* array, const RowShape& shape, const char* dtype, const char* typestr,
                Block& out);
PyRef new_block(PyObject* numpy, std::initializer_list<std::size_t> shape, const char* dtype, const char* typestr,
                void*& data);

}  // namespace detail

// `array` (from as_array) converted by numpy to C-contiguous rows of T (one
// without elements, of any dtype, is not converted). A wrong shape is a
// ValueError; numpy's own failures pass through.
template <class T>
bool read_rows(PyObject* numpy, PyObject* array, const RowShape& shape, ArrayRows<T>& out) {
    detail::Block block;
    if (!detail::read_block(numpy, array, shape, Dtype<T>::name, Dtype<T>::typestr, block)) return false;
    out.rows = block.rows;
    out.width = block.width;
    out.values = std::span<const T>(static_cast<const T*>(block.data), block.rows * block.width);
    out.array = std::move(block.array);
    return true;
}

// A new C-contiguous array of T with one or two dimensions, which its
// maker fills through `out` before anyone else sees the array.
template <class T>
PyRef new_array(PyObject* numpy, std::initializer_list<std::size_t> shape, std::span<T>& out) {
    void* data = nullptr;
    PyRef array = detail::new_block(numpy, shape, Dtype<T>::name, Dtype<T>::typestr, data);
    std::size_t count = 1;
    for (std::size_t extent : shape) count *= extent;
    out = array ? std::span<T>(static_cast<T*>(data), count) : std::span<T>();
    return array;
}

// Stores `value` in a slot of an object array that new_array made, and
// releases what the slot held (numpy's None). Releasing None runs no code.
inline void put_object(PyObject*& slot, PyRef value) {
    PyObject* old = std::exchange(slot, value.release());
    Py_XDECREF(old);
}

// The items of a one-dimensional sequence as a new list that no one else
// holds: a list or tuple copied, an array (or anything offering one of the
// array protocols) as numpy's tolist() of it, which gives an object array's
// very objects. Anything else, and an array of another shape, is refused
// naming `parameter`.
PyRef item_list(PyObject* numpy, PyObject* object, const char* parameter);

}  // namespace velmarin::binding
