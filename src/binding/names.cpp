#include "binding/names.hpp"

#include "binding/once.hpp"

namespace velmarin::binding {

namespace {

PyObject* intern_once(GilSafeOnce<PyObject*>& cell, const char* text) {
    PyObject** name = cell.get([&]() -> std::optional<PyObject*> {
        PyObject* made = PyUnicode_InternFromString(text);
        if (!made) return std::nullopt;
        return made;
    });
    return name ? *name : nullptr;
}

}  // namespace

PyObject* interned_all() {
    static GilSafeOnce<PyObject*> cell;
    return intern_once(cell, "__all__");
}

PyObject* interned_name() {
    static GilSafeOnce<PyObject*> cell;
    return intern_once(cell, "__name__");
}

PyObject* interned_module() {
    static GilSafeOnce<PyObject*> cell;
    return intern_once(cell, "__module__");
}

PyObject* interned_qualname() {
    static GilSafeOnce<PyObject*> cell;
    return intern_once(cell, "__qualname__");
}

PyObject* interned_add_note() {
    static GilSafeOnce<PyObject*> cell;
    return intern_once(cell, "add_note");
}

}  // namespace velmarin::binding
