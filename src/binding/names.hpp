// Attribute names the binding looks up often, interned once per process.
// Each returns a borrowed reference, or nullptr with the error set.
#pragma once

#include "binding/python.hpp"

namespace velmarin::binding {

PyObject* interned_all();
PyObject* interned_name();
PyObject* interned_module();
PyObject* interned_qualname();
PyObject* interned_add_note();

}  // namespace velmarin::binding
