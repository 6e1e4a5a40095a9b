// The parameter table of a callable and the one binder that matches a call's
// positional and keyword arguments against it.
//
// Every parameter of this module is required and may be given by position or
// by keyword, so a table is just the owner, the callable's name and the
// parameter names. Each callable declares one as a static constant:
//
//     constexpr Params vector_new{"Vector3D", "__new__", "x", "y", "z"};
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>

#include "binding/python.hpp"

namespace velmarin::binding {

template <std::size_t N>
struct Params {
    const char* owner;  // class name, or nullptr for a module function
    const char* name;   // "__new__" for constructors
    std::array<const char*, N> names;

    template <class... Names>
    constexpr Params(const char* owner_, const char* name_, Names... names_)
        : owner(owner_), name(name_), names{names_...} {}

    static constexpr std::size_t size() { return N; }
    std::span<const char* const> list() const { return names; }
};
template <class... Names>
Params(const char*, const char*, Names...) -> Params<sizeof...(Names)>;

// "Vector3D.__new__()", "Mesh.clean()", "boolean_join_extruded()".
std::string callable_text(const char* owner, const char* name);

// The signature line for a documentation string, "clean($self, tolerance)".
std::string signature_line(const char* name, std::span<const char* const> names, bool with_self);

// Fills `slots` (one per parameter, borrowed references) from the call's
// arguments, or sets the interpreter-style TypeError and returns false.
bool bind_arguments(const char* owner, const char* name, std::span<const char* const> names,
                    PyObject* args, PyObject* kwargs, std::span<PyObject*> slots);

template <std::size_t N>
bool bind_arguments(const Params<N>& params, PyObject* args, PyObject* kwargs,
                    std::array<PyObject*, N>& slots) {
    return bind_arguments(params.owner, params.name, params.list(), args, kwargs, slots);
}

}  // namespace velmarin::binding
