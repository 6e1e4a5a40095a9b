#include "binding/arguments.hpp"

#include <algorithm>
#include <vector>

namespace velmarin::binding {

namespace {

void raise_type_error(const std::string& text) { PyErr_SetString(PyExc_TypeError, text.c_str()); }

std::string utf8_of(PyObject* text) {
    PyRef bytes;
    const std::optional<std::string_view> utf8 = PyUnicode_Check(text) ? utf8_view(text, bytes) : std::nullopt;
    if (!utf8) {
        PyErr_Clear();
        return "?";
    }
    return std::string(*utf8);
}

// "'x'", "'x' and 'y'", "'x', 'y', and 'z'".
std::string quoted_list(const std::vector<const char*>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += names.size() == 2 ? " and " : (i + 1 == names.size() ? ", and " : ", ");
        text.append("'").append(names[i]).append("'");
    }
    return text;
}

}  // namespace

std::string callable_text(const char* owner, const char* name) {
    std::string text = owner ? std::string(owner) + "." + name : std::string(name);
    return text + "()";
}

std::string signature_line(const char* name, ParameterList parameters, bool with_self) {
    std::string line = std::string(name) + "(";
    bool first = true;
    if (with_self) {
        line += "$self";
        first = false;
    }
    for (std::size_t i = 0; i < parameters.names.size(); ++i) {
        if (!first) line += ", ";
        line += parameters.names[i];
        if (i >= parameters.required) line += "=None";
        first = false;
    }
    return line + ")";
}

bool bind_arguments(const char* owner, const char* name, ParameterList parameters, PyObject* args, PyObject* kwargs,
                    std::span<PyObject*> slots) {
    const std::span<const char* const> names = parameters.names;
    std::fill(slots.begin(), slots.end(), nullptr);
    const Py_ssize_t given = args ? PyTuple_Size(args) : 0;
    if (given < 0) return false;
    if (static_cast<std::size_t>(given) > names.size()) {
        const std::string most = std::to_string(names.size());
        const std::string takes =
            parameters.required == names.size() ? most : "from " + std::to_string(parameters.required) + " to " + most;
        raise_type_error(callable_text(owner, name) + " takes " + takes + " positional arguments but " +
                         std::to_string(given) + (given == 1 ? " was given" : " were given"));
        return false;
    }
    for (Py_ssize_t i = 0; i < given; ++i) slots[static_cast<std::size_t>(i)] = PyTuple_GetItem(args, i);

    if (kwargs) {
        PyObject *key, *value;
        Py_ssize_t position = 0;
        while (PyDict_Next(kwargs, &position, &key, &value)) {
            auto match = std::find_if(names.begin(), names.end(), [&](const char* parameter) {
                return PyUnicode_Check(key) && PyUnicode_CompareWithASCIIString(key, parameter) == 0;
            });
            if (match == names.end()) {
                raise_type_error(callable_text(owner, name) + " got an unexpected keyword argument '" + utf8_of(key) +
                                 "'");
                return false;
            }
            PyObject*& slot = slots[static_cast<std::size_t>(match - names.begin())];
            if (slot) {
                raise_type_error(callable_text(owner, name) + " got multiple values for argument '" + utf8_of(key) +
                                 "'");
                return false;
            }
            slot = value;
        }
    }

    std::vector<const char*> missing;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (slots[i]) continue;
        if (i < parameters.required) {
            missing.push_back(names[i]);
        } else {
            slots[i] = Py_None;
        }
    }
    if (!missing.empty()) {
        raise_type_error(callable_text(owner, name) + " missing " + std::to_string(missing.size()) +
                         " required positional argument" + (missing.size() == 1 ? "" : "s") + ": " +
                         quoted_list(missing));
        return false;
    }
    return true;
}

}  // namespace velmarin::binding
