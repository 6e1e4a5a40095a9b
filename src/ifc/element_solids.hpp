// The solids of a model's elements made from its records, welded as the
// graph builds take them, with the faces each element keeps.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "geometry/mesh.hpp"
#include "ifc/aperture_faces.hpp"
#include "ifc/step_records.hpp"

namespace velmarin::ifc {

// Each element's (by `elements`, with `kept` alongside): made by
// ElementBodies with lengths times `metres`, welded by welded_solid_faces in
// cells of `weld`, its kept faces taken; None where the element is left to
// a geometry engine. The bodies are read one after the other (placements
// met once serve the elements after), then welded side by side.
std::vector<std::optional<Mesh>> element_solids(const StepRecords& records, std::span<const std::uint64_t> elements,
                                                std::span<const FacesKept> kept, double metres, double weld);

// A type of element and the faces its elements keep.
struct ElementType {
    std::string_view type;  // in capitals, as the text writes it
    FacesKept kept;
};

// A whole model's: its length unit, the elements of the types asked for
// (each type's in text order, the types in the order given) and their solids.
struct ModelSolids {
    double metres;
    std::vector<std::uint64_t> elements;
    std::vector<std::optional<Mesh>> solids;
};

// None when the model's length unit cannot be told (length_unit).
std::optional<ModelSolids> model_solids(const StepRecords& records, std::span<const ElementType> types, double weld);

}  // namespace velmarin::ifc
