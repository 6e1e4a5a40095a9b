// The geometry classes as the rest of the binding sees them.
#pragma once

#include "binding/record.hpp"
#include "geometry/mesh.hpp"
#include "geometry/vector.hpp"

namespace velmarin::binding {

template <>
const ClassDef& class_def<Vector3D>();
template <>
const ClassDef& class_def<Wire>();
template <>
const ClassDef& class_def<Mesh>();

template <>
struct Converter<Vector3D> : RecordConverter<Vector3D> {};
template <>
struct Converter<Wire> : RecordConverter<Wire> {};
template <>
struct Converter<Mesh> : RecordConverter<Mesh> {};

}  // namespace velmarin::binding
