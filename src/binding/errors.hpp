// Turning failures into Python exceptions, and the one translator that every
// entry point runs its body through.
#pragma once

#include <string>
#include <string_view>

#include "binding/python.hpp"
#include "core/error.hpp"

namespace velmarin::binding {

// Sets the interpreter's error indicator from a failure value of the core.
void raise_error(const Error& error);

// TypeError "'<type>' object is not an instance of '<Class>'", or the None form.
void raise_not_instance(PyObject* object, std::string_view class_name);

// The `__qualname__` of the object's type, as the messages show it.
std::string type_name_of(PyObject* object);

// Adds "while processing '<parameter>'" to the pending exception where the
// interpreter has notes. An internal fault raised by Python code passes
// through without one; its diagnostic goes to standard error.
void note_argument(const char* parameter);

// The process-wide internal-fault exception class (created on first need).
PyObject* internal_fault_type();

// Reports the exception being handled (called from a catch block): an
// internal fault goes to standard error and becomes the internal-fault
// exception, memory exhaustion becomes MemoryError.
void translate_current_exception() noexcept;

// Runs an entry point's body; any C++ exception leaving it is translated and
// the entry point returns its failure value.
template <class Body, class Result>
Result guarded(Body&& body, Result failure) noexcept {
    try {
        return body();
    } catch (...) {
        translate_current_exception();
        return failure;
    }
}

}  // namespace velmarin::binding
