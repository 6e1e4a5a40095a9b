// The registry class as the rest of the binding sees it.
#pragma once

#include "binding/record.hpp"
#include "registry/spatial_registry.hpp"

namespace velmarin::binding {

template <>
const ClassDef& class_def<SpatialRegistry>();

}  // namespace velmarin::binding
