#include "ifc/length_unit.hpp"

#include <array>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace velmarin::ifc {

namespace {

// Where IfcProject keeps UnitsInContext, in every schema.
constexpr std::size_t units_field = 8;

// The SI prefixes IfcSIUnitPrefix names, and their factors.
// clang-format off
constexpr std::array<std::pair<std::string_view, double>, 16> prefixes = {{
    {"EXA", 1e18}, {"PETA", 1e15}, {"TERA", 1e12}, {"GIGA", 1e9}, {"MEGA", 1e6}, {"KILO", 1e3},
    {"HECTO", 1e2}, {"DECA", 1e1}, {"DECI", 1e-1}, {"CENTI", 1e-2}, {"MILLI", 1e-3}, {"MICRO", 1e-6},
    {"NANO", 1e-9}, {"PICO", 1e-12}, {"FEMTO", 1e-15}, {"ATTO", 1e-18},
}};
// clang-format on

// A length unit in metres: `converted` says whether a conversion-based unit
// may stand here (an SI unit may, in a conversion's factor, not another
// conversion).
std::optional<double> metres_of(const StepRecords& records, std::uint64_t unit, bool converted) {
    std::vector<std::string_view> fields;
    if (fields_of(records, unit, "IFCSIUNIT", 4, fields)) {
        // Dimensions, UnitType, Prefix, Name.
        if (enumeration_field(fields[1]) != "LENGTHUNIT" || enumeration_field(fields[3]) != "METRE") {
            return std::nullopt;
        }
        if (unset_field(fields[2])) return 1.0;
        for (const auto& [name, factor] : prefixes) {
            if (enumeration_field(fields[2]) == name) return factor;
        }
        return std::nullopt;
    }
    if (converted && (fields_of(records, unit, "IFCCONVERSIONBASEDUNIT", 4, fields) ||
                      fields_of(records, unit, "IFCCONVERSIONBASEDUNITWITHOFFSET", 4, fields))) {
        // Dimensions, UnitType, Name, ConversionFactor: an IfcMeasureWithUnit
        // (ValueComponent, UnitComponent).
        const std::optional<std::uint64_t> factor = reference_field(fields[3]);
        if (enumeration_field(fields[1]) != "LENGTHUNIT" || !factor ||
            !fields_of(records, *factor, "IFCMEASUREWITHUNIT", 2, fields)) {
            return std::nullopt;
        }
        const std::optional<double> value = real_field(fields[0]);
        const std::optional<std::uint64_t> base = reference_field(fields[1]);
        const std::optional<double> base_metres = base ? metres_of(records, *base, false) : std::nullopt;
        if (!value || !base_metres || !(*value > 0.0)) return std::nullopt;
        return *value * *base_metres;
    }
    return std::nullopt;
}

}  // namespace

std::optional<double> length_unit(const StepRecords& records) {
    std::vector<std::string_view> fields;
    std::vector<std::uint64_t> units;
    const std::vector<std::uint64_t> projects = records.numbers_of("IFCPROJECT");
    if (projects.empty() || !fields_of(records, projects.front(), "IFCPROJECT", units_field + 1, fields)) {
        return std::nullopt;
    }
    const std::optional<std::uint64_t> assignment = reference_field(fields[units_field]);
    if (!assignment || !fields_of(records, *assignment, "IFCUNITASSIGNMENT", 1, fields) ||
        !list_values(fields[0], reference_field, units)) {
        return std::nullopt;
    }
    for (const std::uint64_t unit : units) {
        std::vector<std::string_view> unit_fields;
        const StepRecord* record = records.find(unit);
        if (!record || !split_fields(record->fields, unit_fields) || unit_fields.size() < 2 ||
            enumeration_field(unit_fields[1]) != "LENGTHUNIT") {
            continue;
        }
        return metres_of(records, unit, true);
    }
    return std::nullopt;
}

}  // namespace velmarin::ifc
