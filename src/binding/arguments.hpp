// The parameter table of a callable and the one binder that matches a call's
// positional and keyword arguments against it.
//
// Every parameter may be given by position or by keyword, so a table is just
// the owner, the callable's name and the parameter names. Each callable
// declares one as a static constant:
//
//     constexpr Params vector_new{"Vector3D", "__new__", "x", "y", "z"};
//
// Parameters are required, except for trailing ones declared as
// `DefaultsToNone{"name"}`: left out, they are None.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <type_traits>

#include "binding/python.hpp"

namespace velmarin::binding {

// A parameter that may be left out, and is then None.
struct DefaultsToNone {
    const char* name;
};

// The names of a callable's parameters, the first `required` of them required.
struct ParameterList {
    std::span<const char* const> names;
    std::size_t required;
};

template <std::size_t N>
struct Params {
    const char* owner;  // class name, or nullptr for a module function
    const char* name;   // "__new__" for constructors
    std::array<const char*, N> names;
    std::size_t required;

    template <class... Names>
    constexpr Params(const char* owner_, const char* name_, Names... names_)
        : owner(owner_), name(name_), names{name_of(names_)...}, required(count_required(names_...)) {}

    static constexpr std::size_t size() { return N; }
    ParameterList list() const { return {names, required}; }

private:
    static constexpr const char* name_of(const char* parameter) { return parameter; }
    static constexpr const char* name_of(DefaultsToNone parameter) { return parameter.name; }

    // The required parameters, which must all come first: the throw makes a
    // table that breaks this fail to compile.
    template <class... Names>
    static constexpr std::size_t count_required(Names...) {
        constexpr bool defaulted[] = {std::is_same_v<Names, DefaultsToNone>..., false};
        std::size_t required = 0;
        while (required < sizeof...(Names) && !defaulted[required]) ++required;
        for (std::size_t k = required; k < sizeof...(Names); ++k) {
            if (!defaulted[k]) throw "a required parameter after one that defaults to None";
        }
        return required;
    }
};
template <class... Names>
Params(const char*, const char*, Names...) -> Params<sizeof...(Names)>;

// "Vector3D.__new__()", "Mesh.clean()", "boolean_join_extruded()".
std::string callable_text(const char* owner, const char* name);

// The signature line for a documentation string, "clean($self, tolerance)",
// a parameter that defaults to None written "name=None".
std::string signature_line(const char* name, ParameterList parameters, bool with_self);

// Fills `slots` (one per parameter, borrowed references, None for an
// optional one left out) from the call's arguments, or sets the
// interpreter-style TypeError and returns false.
bool bind_arguments(const char* owner, const char* name, ParameterList parameters, PyObject* args, PyObject* kwargs,
                    std::span<PyObject*> slots);

template <std::size_t N>
bool bind_arguments(const Params<N>& params, PyObject* args, PyObject* kwargs, std::array<PyObject*, N>& slots) {
    return bind_arguments(params.owner, params.name, params.list(), args, kwargs, slots);
}

}  // namespace velmarin::binding
