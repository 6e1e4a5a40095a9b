// The relations of an IFC model that place its elements in the spatial
// structure: which object aggregates or nests which, which structure
// contains which element, which element fills which opening, and which
// element has openings cut into it. Read once from the relation records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ifc/step_records.hpp"

namespace velmarin::ifc {

class SpatialRelations {
public:
    // `ifc2x3`: the model's schema is IFC2X3, where nesting decomposes an
    // object as aggregation does (and the spatial structure counts only the
    // latter).
    SpatialRelations(const StepRecords& records, bool ifc2x3);

    // What the relations leave unclear, as "#12...: what"; empty when
    // nothing: a relation record that does not read, or an object asked
    // about that is related twice in one way (readers take the first
    // relation they meet, an order this reader cannot promise to share).
    const std::string& unclear() const { return unclear_; }

    // The IfcBuildingStorey above a spatial element (a space, say) through
    // aggregation; None when there is none, or when it is unclear.
    std::optional<std::uint64_t> storey_of(std::uint64_t spatial);

    // The element filling an opening, if any (None too when it is unclear).
    std::optional<std::uint64_t> filling(std::uint64_t opening);
    // Whether an opening is cut into the element.
    bool voided(std::uint64_t element) const { return voided_.contains(element); }
    // Whether the object aggregates an element of the type (in capitals).
    bool aggregates(std::uint64_t whole, std::string_view part_type) const;

private:
    void relate(std::unordered_map<std::uint64_t, std::uint64_t>& to, std::uint64_t from, std::uint64_t target);
    // Whether the object is related once in each way; when not, says so in `unclear`.
    bool clear(std::uint64_t object, std::string_view why);

    const StepRecords& records_;
    std::unordered_map<std::uint64_t, std::uint64_t> aggregated_by_;  // part to whole
    std::unordered_map<std::uint64_t, std::uint64_t> nested_by_;  // in IFC2X3: part to whole
    std::unordered_map<std::uint64_t, std::vector<std::uint64_t>> parts_;  // whole to its aggregated parts
    std::unordered_map<std::uint64_t, std::uint64_t> contained_in_;
    std::unordered_map<std::uint64_t, std::uint64_t> fillings_;  // opening to element
    std::unordered_map<std::uint64_t, std::uint64_t> voided_;  // element to an opening in it
    std::unordered_set<std::uint64_t> related_twice_;  // aggregated, nested, contained or filled twice
    std::string unclear_;
};

}  // namespace velmarin::ifc
