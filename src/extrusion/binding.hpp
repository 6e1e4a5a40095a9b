// The extrusion functions as the module registers them.
#pragma once

#include "binding/python.hpp"

namespace velmarin::binding {

PyMethodDef boolean_join_extruded_function();

}  // namespace velmarin::binding
