#include "binding/convert.hpp"

namespace velmarin::binding {

namespace {

// collections.abc.Sequence, imported on first need.
PyObject* sequence_abc() {
    static GilSafeOnce<PyObject*> cell;
    PyObject** abc = cell.get([]() -> std::optional<PyObject*> {
        PyRef module = PyRef::steal(PyImport_ImportModule("collections.abc"));
        PyObject* sequence = module ? PyObject_GetAttrString(module.get(), "Sequence") : nullptr;
        if (!sequence) return std::nullopt;
        return sequence;
    });
    return abc ? *abc : nullptr;
}

}  // namespace

bool Converter<std::uint64_t>::load(PyObject* object, std::uint64_t& out) {
    PyRef index = PyLong_Check(object) ? PyRef::borrow(object) : PyRef::steal(PyNumber_Index(object));
    if (!index) return false;
    out = PyLong_AsUnsignedLongLong(index.get());
    return !(out == static_cast<std::uint64_t>(-1) && PyErr_Occurred());
}

bool Converter<Utf8Text>::load(PyObject* object, Utf8Text& out) {
    if (!PyUnicode_Check(object)) {
        raise_not_instance(object, "str");
        return false;
    }
    const std::optional<std::string_view> text = utf8_view(object, out.bytes);
    if (!text) return false;
    out.text = *text;
    return true;
}

bool Converter<BytesView>::load(PyObject* object, BytesView& out) {
    if (!PyBytes_Check(object)) {
        raise_not_instance(object, "bytes");
        return false;
    }
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(object, &data, &size) < 0) return false;
    out.bytes = PyRef::borrow(object);
    out.data = std::string_view(data, static_cast<std::size_t>(size));
    return true;
}

bool Converter<Utf8Pieces>::load(PyObject* object, Utf8Pieces& out) {
    if (!PyUnicode_Check(object)) {
        raise_not_instance(object, "str");
        return false;
    }
    out.text = PyRef::borrow(object);
    return true;
}

bool Utf8Pieces::read_all(const std::function<void(std::string_view)>& read, const char* parameter) const {
    constexpr Py_ssize_t piece_length = Py_ssize_t{1} << 16;  // characters
    const Py_ssize_t length = PyUnicode_GetLength(text.get());
    if (length < 0) return false;
    for (Py_ssize_t start = 0; start < length; start += piece_length) {
        PyRef piece = PyRef::steal(PyUnicode_Substring(text.get(), start, std::min(length, start + piece_length)));
        PyRef bytes;
        const std::optional<std::string_view> utf8 = piece ? utf8_view(piece.get(), bytes) : std::nullopt;
        if (!utf8) {
            // The whole text's encoding fails in the same place and says so
            // as a Utf8Text argument would, with positions in the whole text.
            if (PyErr_ExceptionMatches(PyExc_UnicodeEncodeError)) {
                PyErr_Clear();
                Utf8Text whole;
                check(!Converter<Utf8Text>::load(text.get(), whole),
                      "a piece of a text failed to encode, the whole did not");
            }
            note_argument(parameter);
            return false;
        }
        read(*utf8);
    }
    return true;
}

bool Converter<std::string>::load(PyObject* object, std::string& out) {
    Utf8Text utf8;
    if (!Converter<Utf8Text>::load(object, utf8)) return false;
    out.assign(utf8.text);
    return true;
}

bool check_list_argument(PyObject* object) {
    if (PyUnicode_Check(object)) {
        PyErr_SetString(PyExc_TypeError, "Can't extract `str` to `Vec`");
        return false;
    }
    if (PySequence_Check(object)) return true;
    PyObject* abc = sequence_abc();
    if (!abc) return false;
    const int registered = PyObject_IsInstance(object, abc);
    if (registered < 0) return false;
    if (registered == 0) raise_not_instance(object, "Sequence");
    return registered == 1;
}

}  // namespace velmarin::binding
