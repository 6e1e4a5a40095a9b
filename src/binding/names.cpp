#include "binding/names.hpp"

#include <algorithm>
#include <cstddef>

#include "binding/once.hpp"

namespace velmarin::binding {

namespace {

// A name spelled as a template argument, so that each gets its own cell.
template <std::size_t N>
struct Spelling {
    char text[N];
    constexpr Spelling(const char (&name)[N]) { std::copy_n(name, N, text); }
};

template <Spelling Name>
PyObject* interned() {
    static GilSafeOnce<PyObject*> cell;
    PyObject** name = cell.get([]() -> std::optional<PyObject*> {
        PyObject* made = PyUnicode_InternFromString(Name.text);
        if (!made) return std::nullopt;
        return made;
    });
    return name ? *name : nullptr;
}

}  // namespace

PyObject* interned_all() { return interned<"__all__">(); }
PyObject* interned_name() { return interned<"__name__">(); }
PyObject* interned_module() { return interned<"__module__">(); }
PyObject* interned_qualname() { return interned<"__qualname__">(); }
PyObject* interned_add_note() { return interned<"add_note">(); }

}  // namespace velmarin::binding
