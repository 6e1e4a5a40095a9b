// A model's products read from its records alone: the elements of the
// types asked for, with their names, the storeys above the spaces, the
// elements filling the openings, and their solids; or what the records
// alone leave unclear, which a reader with the model's schema must settle.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "geometry/mesh.hpp"
#include "ifc/aperture_faces.hpp"
#include "ifc/step_records.hpp"

namespace velmarin::ifc {

// A type of product read and the faces its products keep; with a
// `part_type`, only the products that aggregate no element of it (a stair
// without flights, whose flights are read instead).
struct ProductType {
    std::string_view type;  // in capitals, as the text writes it
    FacesKept kept;
    std::string_view part_type;  // empty: every product of the type
};

// An element's identity: its GlobalId and Name (decoded; empty when unset)
// and its type as the text writes it.
struct Identity {
    std::string global_id;
    std::string_view type;
    std::string name;
};

struct Storey {
    std::string name;
    double elevation;  // in metres: the height of its placement, or its Elevation without one (0 without either)
};

struct ProductRecord {
    std::uint64_t number;
    Identity identity;
    std::string long_name;  // a space's
    std::optional<Storey> storey;  // a space's
    std::optional<Identity> filling;  // an opening's
    // Whether it has a shape representation; when it has, its solid with
    // the faces it keeps (none left: a mesh without faces).
    bool shaped;
    std::optional<Mesh> solid;
};

struct ModelProducts {
    double metres;  // the model's length unit
    // The products of each type by their numbers, the types in the order asked.
    std::vector<ProductRecord> products;
    // The first thing the records leave unclear, as "#12=IFCTYPE: what";
    // empty when they tell every product. Where it is not empty, the solids
    // made are still given (a product's solid is None where only a
    // geometry engine can make it).
    std::string unclear;
};

// `ifc2x3`: the model's schema is IFC2X3 (else IFC4). None when the
// model's length unit cannot be told.
std::optional<ModelProducts> model_products(const StepRecords& records, std::span<const ProductType> types, bool ifc2x3,
                                            double weld);

}  // namespace velmarin::ifc
