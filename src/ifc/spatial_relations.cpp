#include "ifc/spatial_relations.hpp"

#include <algorithm>
#include <array>

namespace velmarin::ifc {

namespace {

// Every relation of these kinds holds, after the four fields of an IfcRoot,
// its two ends: the relating one and the related ones (or the other way
// round, as `related_first` says).
constexpr std::size_t ends_at = 4;

}  // namespace

SpatialRelations::SpatialRelations(const StepRecords& records, bool ifc2x3) : records_(records) {
    struct Kind {
        std::string_view type;
        bool related_first;  // RelatedElements before RelatingStructure
        std::unordered_map<std::uint64_t, std::uint64_t>* to;
    };
    const std::array<Kind, 5> kinds = {{
        {"IFCRELAGGREGATES", false, &aggregated_by_},
        {"IFCRELNESTS", false, ifc2x3 ? &nested_by_ : nullptr},
        {"IFCRELCONTAINEDINSPATIALSTRUCTURE", true, &contained_in_},
        {"IFCRELFILLSELEMENT", false, nullptr},
        {"IFCRELVOIDSELEMENT", false, nullptr},
    }};
    std::vector<std::string_view> fields;
    std::vector<std::uint64_t> related;
    for (const Kind& kind : kinds) {
        if (kind.type == "IFCRELNESTS" && !kind.to) continue;
        for (const std::uint64_t relation : records.numbers_of(kind.type)) {
            const StepRecord* record = records.find(relation);
            bool read = record && split_fields(record->fields, fields) && fields.size() >= ends_at + 2;
            const std::size_t relating_at = ends_at + (kind.related_first ? 1 : 0);
            const std::size_t related_at = ends_at + (kind.related_first ? 0 : 1);
            const std::optional<std::uint64_t> relating = read ? reference_field(fields[relating_at]) : std::nullopt;
            read = read && relating;
            if (read && (kind.type == "IFCRELFILLSELEMENT" || kind.type == "IFCRELVOIDSELEMENT")) {
                const std::optional<std::uint64_t> other = reference_field(fields[related_at]);
                read = other.has_value();
                if (read && kind.type == "IFCRELFILLSELEMENT") relate(fillings_, *relating, *other);
                if (read && kind.type == "IFCRELVOIDSELEMENT") voided_.emplace(*relating, *other);
            } else if (read) {
                read = list_values<std::uint64_t>(fields[related_at], reference_field, related);
                for (const std::uint64_t part : related) {
                    if (!read) break;
                    relate(*kind.to, part, *relating);
                    if (kind.to == &aggregated_by_) parts_[*relating].push_back(part);
                }
            }
            if (!read && unclear_.empty()) {
                unclear_ = "#" + std::to_string(relation) + "=" + std::string(kind.type) + ": its ends do not read";
            }
        }
    }
}

void SpatialRelations::relate(std::unordered_map<std::uint64_t, std::uint64_t>& to, std::uint64_t from,
                              std::uint64_t target) {
    if (!to.emplace(from, target).second) related_twice_.insert(from);
}

bool SpatialRelations::clear(std::uint64_t object, std::string_view why) {
    if (!related_twice_.contains(object)) return true;
    if (unclear_.empty()) unclear_ = "#" + std::to_string(object) + ": " + std::string(why);
    return false;
}

std::optional<std::uint64_t> SpatialRelations::storey_of(std::uint64_t spatial) {
    std::unordered_set<std::uint64_t> seen;
    std::uint64_t at = spatial;
    while (seen.insert(at).second) {
        const StepRecord* record = records_.find(at);
        if (!record) return std::nullopt;
        if (is_type(*record, "IFCBUILDINGSTOREY")) return at;
        if (!clear(at, "decomposed or contained twice")) return std::nullopt;
        const auto whole = aggregated_by_.find(at);
        // Nested in IFC2X3 (where the first decomposition met may be the
        // nesting), or contained and not aggregated (whether the containment
        // counts depends on its type, which the schema tells): unclear.
        if (nested_by_.contains(at) || (whole == aggregated_by_.end() && contained_in_.contains(at))) {
            if (unclear_.empty()) {
                unclear_ = "#" + std::to_string(at) + ": nested, or contained, on the way up to a storey";
            }
            return std::nullopt;
        }
        if (whole == aggregated_by_.end()) return std::nullopt;
        at = whole->second;
    }
    return std::nullopt;  // a ring of aggregation: no storey above it
}

std::optional<std::uint64_t> SpatialRelations::filling(std::uint64_t opening) {
    if (!clear(opening, "filled twice")) return std::nullopt;
    const auto found = fillings_.find(opening);
    return found == fillings_.end() ? std::nullopt : std::optional(found->second);
}

bool SpatialRelations::aggregates(std::uint64_t whole, std::string_view part_type) const {
    const auto found = parts_.find(whole);
    if (found == parts_.end()) return false;
    return std::any_of(found->second.begin(), found->second.end(),
                       [&](std::uint64_t part) { return record_of(records_, part, part_type) != nullptr; });
}

}  // namespace velmarin::ifc
