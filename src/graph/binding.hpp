// The graph classes as the rest of the binding sees them.
#pragma once

#include "binding/record.hpp"
#include "graph/topological_entity.hpp"

namespace velmarin::binding {

template <>
const ClassDef& class_def<TopologicalEntity>();

}  // namespace velmarin::binding
