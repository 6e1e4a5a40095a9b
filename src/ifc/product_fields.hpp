// Where the records of IFC products keep the fields every reader here asks
// for: the same positions in IFC2X3 and IFC4, as both schemas inherit them
// from IfcRoot, IfcObject and IfcProduct.
#pragma once

#include <cstddef>

namespace velmarin::ifc {

constexpr std::size_t global_id_field = 0;  // IfcRoot.GlobalId
constexpr std::size_t name_field = 2;  // IfcRoot.Name
constexpr std::size_t object_placement_field = 5;  // IfcProduct.ObjectPlacement
constexpr std::size_t representation_field = 6;  // IfcProduct.Representation

}  // namespace velmarin::ifc
