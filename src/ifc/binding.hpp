// The IFC reader as the rest of the binding sees it.
#pragma once

#include "binding/record.hpp"

namespace velmarin::binding {

// A class without instances: it only carries the static reader method.
struct IfcParser {};

template <>
const ClassDef& class_def<IfcParser>();

}  // namespace velmarin::binding
