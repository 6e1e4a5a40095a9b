// The length unit an IFC model's project assigns, in metres.
#pragma once

#include <optional>

#include "ifc/step_records.hpp"

namespace velmarin::ifc {

// The first IfcProject's length unit: an IfcSIUnit (metres with or without
// a prefix) or an IfcConversionBasedUnit (a foot, an inch) whose factor is
// given in one. None when the text gives none, or none that reads so.
std::optional<double> length_unit(const StepRecords& records);

}  // namespace velmarin::ifc
