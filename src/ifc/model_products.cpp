#include "ifc/model_products.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>

#include "ifc/element_solids.hpp"
#include "ifc/length_unit.hpp"
#include "ifc/placements.hpp"
#include "ifc/product_fields.hpp"
#include "ifc/reachable_records.hpp"
#include "ifc/spatial_relations.hpp"
#include "ifc/step_strings.hpp"

namespace velmarin::ifc {

namespace {

// Where IfcSpace keeps LongName and IfcBuildingStorey Elevation, in IFC2X3
// and IFC4 alike (the fields of every product: product_fields.hpp).
constexpr std::size_t long_name_field = 7;
constexpr std::size_t elevation_field = 9;
// Where IfcProductRepresentation keeps its Representations.
constexpr std::size_t representations_field = 2;

constexpr std::array<std::string_view, 3> product_representations = {
    "IFCPRODUCTDEFINITIONSHAPE", "IFCMATERIALDEFINITIONREPRESENTATION", "IFCPRODUCTREPRESENTATION"};

// Reads the records of one model's products, noting the first thing that
// is unclear and stopping there.
class ProductReader {
public:
    ProductReader(const StepRecords& records, SpatialRelations& relations, double metres)
        : records_(records), relations_(relations), reachable_(records, metres), placements_(records, metres) {
        if (records.unread() > 0) {
            unclear = std::to_string(records.unread()) + " statements that begin as records do not read as one";
        } else {
            unclear = relations_.unclear();
        }
    }

    // Fills in the product's record, unless something is unclear.
    void read(ProductRecord& product) {
        if (!unclear.empty()) return;
        const StepRecord* record = records_.find(product.number);
        std::vector<std::string_view> fields;
        if (!record || !split_fields(record->fields, fields) || fields.size() <= long_name_field) {
            return doubt(product.number, "its fields do not read");
        }
        const std::optional<Identity> identity = identity_in(*record, fields);
        if (!identity) return doubt(product.number, "its GlobalId or Name is no string read here");
        product.identity = *identity;
        const std::optional<bool> shaped = is_shaped(fields[representation_field]);
        if (!shaped) return doubt(product.number, "its Representation is no product representation");
        product.shaped = *shaped;
        if (product.shaped && !product.solid) return doubt(product.number, "a geometry engine makes its body");
        if (!product.shaped && !placed(fields[object_placement_field]))
            return doubt(product.number, "its placement does not read");
        if (!product.shaped && relations_.voided(product.number)) return doubt(product.number, "openings cut it");
        if (std::optional<std::string> found = reachable_.doubt(product.number)) {
            unclear = *found;
            return;
        }
        if (is_type(*record, "IFCSPACE")) read_space(product, fields);
        if (is_type(*record, "IFCOPENINGELEMENT") || is_type(*record, "IFCOPENINGSTANDARDCASE")) {
            if (const std::optional<std::uint64_t> filling = relations_.filling(product.number)) {
                product.filling = identity_of(*filling);
                if (!product.filling) doubt(*filling, "the element filling an opening does not read");
            }
            if (unclear.empty()) unclear = relations_.unclear();
        }
    }

    std::string unclear;

private:
    void doubt(std::uint64_t number, std::string_view what) {
        const StepRecord* record = records_.find(number);
        unclear =
            "#" + std::to_string(number) + "=" + std::string(record ? record->type : "") + ": " + std::string(what);
    }

    // A string field decoded; empty when unset.
    static std::optional<std::string> text_of(std::string_view field) {
        if (unset_field(field)) return std::string();
        const std::optional<std::string_view> written = string_field(field);
        return written ? decoded_string(*written) : std::nullopt;
    }

    std::optional<Identity> identity_of(std::uint64_t number) const {
        const StepRecord* record = records_.find(number);
        std::vector<std::string_view> fields;
        if (!record || !split_fields(record->fields, fields)) return std::nullopt;
        return identity_in(*record, fields);
    }

    // The identity in a record's fields, split by the caller.
    static std::optional<Identity> identity_in(const StepRecord& record, std::span<const std::string_view> fields) {
        if (fields.size() <= name_field) return std::nullopt;
        std::optional<std::string> global_id = text_of(fields[global_id_field]);
        std::optional<std::string> name = text_of(fields[name_field]);
        if (!global_id || !name) return std::nullopt;
        return Identity{std::move(*global_id), record.type, std::move(*name)};
    }

    // Whether a Representation field names a shape with representations;
    // None for a field that is neither unset nor such a shape.
    std::optional<bool> is_shaped(std::string_view field) const {
        if (unset_field(field)) return false;
        const std::optional<std::uint64_t> shape = reference_field(field);
        const StepRecord* record = shape ? records_.find(*shape) : nullptr;
        if (!record || std::none_of(product_representations.begin(), product_representations.end(),
                                    [&](std::string_view type) { return is_type(*record, type); })) {
            return std::nullopt;
        }
        std::vector<std::string_view> fields;
        std::vector<std::uint64_t> representations;
        if (!split_fields(record->fields, fields) || fields.size() <= representations_field ||
            !list_values<std::uint64_t>(fields[representations_field], reference_field, representations)) {
            return std::nullopt;
        }
        return !representations.empty();
    }

    bool placed(std::string_view field) {
        if (unset_field(field)) return true;
        const std::optional<std::uint64_t> placement = reference_field(field);
        return placement && placements_.local_placement(*placement);
    }

    void read_space(ProductRecord& space, std::span<const std::string_view> fields) {
        const std::optional<std::string> long_name = text_of(fields[long_name_field]);
        if (!long_name) return doubt(space.number, "its LongName is no string read here");
        space.long_name = *long_name;
        const std::optional<std::uint64_t> storey = relations_.storey_of(space.number);
        if (!relations_.unclear().empty()) {
            unclear = relations_.unclear();
            return;
        }
        if (!storey) return;
        const auto known = storeys_.find(*storey);
        if (known != storeys_.end()) {
            space.storey = known->second;
        } else if ((space.storey = storey_read(*storey))) {
            storeys_.emplace(*storey, *space.storey);
        } else {
            doubt(*storey, "its name or elevation does not read");
        }
    }

    std::optional<Storey> storey_read(std::uint64_t number) {
        std::vector<std::string_view> fields;
        const std::optional<Identity> identity = identity_of(number);
        if (!identity || !fields_of(records_, number, "IFCBUILDINGSTOREY", elevation_field + 1, fields)) {
            return std::nullopt;
        }
        if (!unset_field(fields[object_placement_field])) {
            const std::optional<std::uint64_t> placement = reference_field(fields[object_placement_field]);
            const std::optional<Affine> placed = placement ? placements_.local_placement(*placement) : std::nullopt;
            if (!placed || !std::isfinite(placed->origin.z)) return std::nullopt;
            return Storey{identity->name, placed->origin.z};
        }
        if (unset_field(fields[elevation_field])) return Storey{identity->name, 0.0};
        const std::optional<double> elevation = real_field(fields[elevation_field]);
        if (!elevation || !std::isfinite(*elevation * placements_.metres())) return std::nullopt;
        return Storey{identity->name, *elevation * placements_.metres()};
    }

    const StepRecords& records_;
    SpatialRelations& relations_;
    ReachableRecords reachable_;
    Placements placements_;
    std::unordered_map<std::uint64_t, Storey> storeys_;
};

}  // namespace

std::optional<ModelProducts> model_products(const StepRecords& records, std::span<const ProductType> types, bool ifc2x3,
                                            double weld) {
    const std::optional<double> metres = length_unit(records);
    if (!metres) return std::nullopt;
    ModelProducts model{*metres, {}, {}};
    std::vector<std::uint64_t> numbers;
    std::vector<FacesKept> kept;
    SpatialRelations relations(records, ifc2x3);
    for (const ProductType& type : types) {
        std::vector<std::uint64_t> of_type = records.numbers_of(type.type);
        std::ranges::sort(of_type);
        for (const std::uint64_t number : of_type) {
            if (!type.part_type.empty() && relations.aggregates(number, type.part_type)) continue;
            numbers.push_back(number);
            kept.push_back(type.kept);
        }
    }
    std::vector<std::optional<Mesh>> solids = element_solids(records, numbers, kept, *metres, weld);
    ProductReader reader(records, relations, *metres);
    for (std::size_t k = 0; k < numbers.size(); ++k) {
        model.products.push_back(ProductRecord{numbers[k], {}, {}, {}, {}, false, std::move(solids[k])});
        reader.read(model.products.back());
    }
    model.unclear = std::move(reader.unclear);
    return model;
}

}  // namespace velmarin::ifc
