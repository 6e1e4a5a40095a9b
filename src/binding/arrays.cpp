#include "binding/arrays.hpp"

#include <bit>
#include <cstdint>
#include <string_view>
#include <vector>

#include "binding/errors.hpp"
#include "core/fault.hpp"

namespace velmarin::binding {

namespace {

// numpy.<function>(args...), with the dtype passed by its name.
template <class... Args>
PyRef call_numpy(PyObject* numpy, const char* function, Args... args) {
    PyRef callable = PyRef::steal(PyObject_GetAttrString(numpy, function));
    if (!callable) return {};
    return PyRef::steal(PyObject_CallFunctionObjArgs(callable.get(), args..., nullptr));
}

// The sizes of a shape tuple; false with the error set.
bool extents_of(PyObject* shape, std::vector<std::size_t>& out) {
    const Py_ssize_t dimensions = PyTuple_Check(shape) ? PyTuple_Size(shape) : -1;
    if (dimensions < 0) {
        if (!PyErr_Occurred()) PyErr_SetString(PyExc_TypeError, "an array's shape must be a tuple");
        return false;
    }
    out.clear();
    for (Py_ssize_t i = 0; i < dimensions; ++i) {
        const std::size_t extent = PyLong_AsSize_t(PyTuple_GetItem(shape, i));
        if (extent == static_cast<std::size_t>(-1) && PyErr_Occurred()) return false;
        out.push_back(extent);
    }
    return true;
}

// The data of an array that numpy has just made C-contiguous and aligned,
// with `count` 8-byte elements of the type `typestr`. numpy promises all of that for the
// arrays it makes, so an interface that says otherwise is a fault.
void* interface_data(PyObject* array, const char* typestr, std::size_t count, bool writable) {
    PyRef interface = PyRef::steal(PyObject_GetAttrString(array, "__array_interface__"));
    if (!interface) return nullptr;
    check(PyDict_Check(interface.get()), "__array_interface__ is not a dict");
    PyObject* type = PyDict_GetItemString(interface.get(), "typestr");
    check(type && PyUnicode_Check(type) && PyUnicode_CompareWithASCIIString(type, typestr) == 0,
          "numpy made an array of another element type");
    PyObject* strides = PyDict_GetItemString(interface.get(), "strides");
    check(strides == Py_None, "numpy made an array that is not C-contiguous");
    std::vector<std::size_t> extents;
    PyObject* shape = PyDict_GetItemString(interface.get(), "shape");
    if (!shape || !extents_of(shape, extents)) {
        PyErr_Clear();
        fault("numpy's array interface has no readable shape");
    }
    std::size_t elements = 1;
    for (std::size_t extent : extents) elements *= extent;
    check(elements == count, "numpy made an array of another size");
    PyObject* data = PyDict_GetItemString(interface.get(), "data");
    check(data && PyTuple_Check(data) && PyTuple_Size(data) == 2, "numpy's array interface has no data pair");
    void* pointer = PyLong_AsVoidPtr(PyTuple_GetItem(data, 0));
    const int read_only = PyObject_IsTrue(PyTuple_GetItem(data, 1));
    if (PyErr_Occurred()) {
        PyErr_Clear();
        fault("numpy's array interface has an unreadable data pair");
    }
    check(!writable || read_only == 0, "numpy made a read-only array");
    check(pointer != nullptr || count == 0, "numpy's array interface has no data");
    check(reinterpret_cast<std::uintptr_t>(pointer) % alignof(std::uint64_t) == 0, "numpy made a misaligned array");
    return pointer;
}

// The data of an array that is already what numpy.require would make of it
// (numpy's own ndarray, not a subclass, C-contiguous and aligned, with
// `count` elements of the type `typestr`); nullptr when it is not, or with
// the error set.
void* ready_data(PyObject* numpy, PyObject* array, const char* typestr, std::size_t count) {
    PyRef ndarray = PyRef::steal(PyObject_GetAttrString(numpy, "ndarray"));
    if (!ndarray || reinterpret_cast<PyObject*>(Py_TYPE(array)) != ndarray.get()) return nullptr;
    PyRef interface = PyRef::steal(PyObject_GetAttrString(array, "__array_interface__"));
    if (!interface) return nullptr;
    if (!PyDict_Check(interface.get())) return nullptr;
    PyObject* type = PyDict_GetItemString(interface.get(), "typestr");
    PyObject* strides = PyDict_GetItemString(interface.get(), "strides");
    PyObject* shape = PyDict_GetItemString(interface.get(), "shape");
    PyObject* data = PyDict_GetItemString(interface.get(), "data");
    if (!type || !PyUnicode_Check(type) || PyUnicode_CompareWithASCIIString(type, typestr) != 0 || strides != Py_None ||
        !shape || !data || !PyTuple_Check(data) || PyTuple_Size(data) != 2) {
        return nullptr;
    }
    std::vector<std::size_t> extents;
    if (!extents_of(shape, extents)) return nullptr;
    std::size_t elements = 1;
    for (std::size_t extent : extents) elements *= extent;
    void* pointer = PyLong_AsVoidPtr(PyTuple_GetItem(data, 0));
    if (PyErr_Occurred()) return nullptr;
    const bool aligned = reinterpret_cast<std::uintptr_t>(pointer) % alignof(std::uint64_t) == 0;
    return elements == count && pointer != nullptr && aligned ? pointer : nullptr;
}

// "<parameter> must <rule>; numpy reads them as <what>".
void refuse(PyObject* type, const char* parameter, const char* rule, PyObject* what) {
    PyRef message = PyRef::steal(PyUnicode_FromFormat("%s must %s; numpy reads them as %S", parameter, rule, what));
    if (message) PyErr_SetObject(type, message.get());
}

}  // namespace

PyRef import_numpy(const std::string& callable) {
    PyRef numpy = PyRef::steal(PyImport_ImportModule("numpy"));
    if (numpy || !PyErr_ExceptionMatches(PyExc_ImportError)) return numpy;
    PyObject *type, *cause, *traceback;
    PyErr_Fetch(&type, &cause, &traceback);
    PyErr_NormalizeException(&type, &cause, &traceback);
    if (cause && traceback) PyException_SetTraceback(cause, traceback);
    Py_XDECREF(type);
    Py_XDECREF(traceback);
    PyErr_Format(PyExc_ImportError, "%s needs numpy: install it with 'pip install numpy'", callable.c_str());
    PyObject* error;
    PyErr_Fetch(&type, &error, &traceback);
    PyErr_NormalizeException(&type, &error, &traceback);
    if (error) {
        PyException_SetCause(error, cause);  // takes the reference
    } else {
        Py_XDECREF(cause);
    }
    PyErr_Restore(type, error, traceback);
    return {};
}

bool offers_array(PyObject* object) {
    for (const char* protocol : {"__array_interface__", "__array_struct__", "__array__"}) {
        if (PyObject_HasAttrString(object, protocol)) return true;
    }
    return false;
}

PyRef as_array(PyObject* numpy, PyObject* object) { return call_numpy(numpy, "asarray", object); }

char dtype_kind(PyObject* array) {
    PyRef dtype = PyRef::steal(PyObject_GetAttrString(array, "dtype"));
    PyRef kind = PyRef::steal(dtype ? PyObject_GetAttrString(dtype.get(), "kind") : nullptr);
    PyRef bytes;
    const std::optional<std::string_view> letters =
        kind && PyUnicode_Check(kind.get()) ? utf8_view(kind.get(), bytes) : std::nullopt;
    if (!letters) {
        if (!PyErr_Occurred()) PyErr_SetString(PyExc_TypeError, "an array's dtype kind must be a str");
        return 0;
    }
    if (letters->size() == 1 && (*letters)[0] != 0) return (*letters)[0];
    PyErr_SetString(PyExc_TypeError, "an array's dtype kind must be one letter");
    return 0;
}

bool is_empty(PyObject* array) {
    PyRef size = PyRef::steal(PyObject_GetAttrString(array, "size"));
    return size && PyObject_Not(size.get()) == 1;
}

void refuse_dtype(PyObject* array, const char* parameter, const char* wanted) {
    PyRef dtype = PyRef::steal(PyObject_GetAttrString(array, "dtype"));
    if (!dtype) return;
    const std::string rule = std::string("hold ") + wanted;
    refuse(PyExc_TypeError, parameter, rule.c_str(), dtype.get());
}

PyRef item_list(PyObject* numpy, PyObject* object, const char* parameter) {
    if (PyList_Check(object) || PyTuple_Check(object)) return PyRef::steal(PySequence_List(object));
    if (!offers_array(object)) {
        PyRef text = PyRef::steal(PyUnicode_FromFormat("%s must be a list, a tuple or an array; got %s", parameter,
                                                       type_name_of(object).c_str()));
        if (text) PyErr_SetObject(PyExc_TypeError, text.get());
        return {};
    }
    PyRef array = as_array(numpy, object);
    PyRef shape = array ? PyRef::steal(PyObject_GetAttrString(array.get(), "shape")) : PyRef();
    if (!shape) return {};
    if (!PyTuple_Check(shape.get()) || PyTuple_Size(shape.get()) != 1) {
        refuse(PyExc_ValueError, parameter, "be one-dimensional", shape.get());
        return {};
    }
    PyRef items = PyRef::steal(PyObject_CallMethod(array.get(), "tolist", nullptr));
    if (items && !PyList_Check(items.get())) {
        raise_not_instance(items.get(), "list");
        return {};
    }
    return items;
}

namespace detail {

bool read_block(PyObject* numpy, PyObject* array, const RowShape& shape, const char* dtype, const char* typestr,
                Block& out) {
    PyRef given = PyRef::steal(PyObject_GetAttrString(array, "shape"));
    std::vector<std::size_t> extents;
    if (!given || !extents_of(given.get(), extents)) return false;
    const bool fits =
        shape.column ? extents.size() == 1 : extents.size() == 2 && (shape.width == 0 || extents[1] == shape.width);
    if (!shape.column && extents.size() == 1 && extents[0] == 0) {
        out = Block{PyRef::borrow(array), nullptr, 0, shape.width};
        return true;
    }
    if (!fits) {
        const std::string rule = std::string("have the shape ") + shape.text;
        refuse(PyExc_ValueError, shape.parameter, rule.c_str(), given.get());
        return false;
    }
    if (shape.column) extents.push_back(1);
    // Without elements there is nothing to convert: numpy is not asked to,
    // since it warns of (or refuses) a lossy conversion even when no value
    // would be lost, as from an empty complex or structured array.
    if (extents[0] == 0 || extents[1] == 0) {
        out = Block{PyRef::borrow(array), nullptr, extents[0], extents[1]};
        return true;
    }
    // An array numpy made as require would is read as it is: the call to
    // require costs more than the rest of a small array's read.
    if (void* ready = ready_data(numpy, array, typestr, extents[0] * extents[1])) {
        out = Block{PyRef::borrow(array), ready, extents[0], extents[1]};
        return true;
    }
    if (PyErr_Occurred()) return false;
    // C-contiguous, aligned, a plain ndarray: a copy unless `array` is all that already.
    PyRef name = text_object(dtype);
    PyRef requirements = PyRef::steal(Py_BuildValue("[sss]", "C", "A", "E"));
    PyRef contiguous =
        name && requirements ? call_numpy(numpy, "require", array, name.get(), requirements.get()) : PyRef();
    if (!contiguous) return false;
    void* data = interface_data(contiguous.get(), typestr, extents[0] * extents[1], false);
    if (!data && PyErr_Occurred()) return false;
    out = Block{std::move(contiguous), data, extents[0], extents[1]};
    return true;
}

PyRef new_block(PyObject* numpy, std::initializer_list<std::size_t> shape, const char* dtype, const char* typestr,
                void*& data) {
    PyRef extents = PyRef::steal(PyTuple_New(static_cast<Py_ssize_t>(shape.size())));
    if (!extents) return {};
    std::size_t count = 1;
    Py_ssize_t i = 0;
    for (std::size_t extent : shape) {
        PyObject* size = PyLong_FromSize_t(extent);
        if (!size) return {};
        PyTuple_SetItem(extents.get(), i++, size);
        count *= extent;
    }
    PyRef name = text_object(dtype);
    PyRef array = name ? call_numpy(numpy, "empty", extents.get(), name.get()) : PyRef();
    if (!array) return {};
    data = interface_data(array.get(), typestr, count, true);
    if (!data && PyErr_Occurred()) return {};
    return array;
}

}  // namespace detail

}  // namespace velmarin::binding
