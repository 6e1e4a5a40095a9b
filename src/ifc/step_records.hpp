// The entity records of a STEP text (ISO 10303-21) by their numbers, and
// the readers of their fields.
//
// The index is one pass over the text that notes where each record's type
// and fields stand; a record's fields are read only when a caller asks for
// them, as views into the text. A record that does not read (no `=`, no
// type, no parentheses around its fields) is not indexed, and a caller that
// follows a reference to it finds nothing; one whose fields do not split
// (a parenthesis or string left open inside) reads as broken. Every reader
// answers "no value" rather than failing, and the caller decides what a
// missing value means.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "geometry/vector.hpp"
#include "ifc/entity_index.hpp"

namespace velmarin::ifc {

// One record: its type as written (exporters write it in capitals; the
// standard asks for them) and the text between its outer parentheses.
struct StepRecord {
    std::string_view type;
    std::string_view fields;
};

class StepRecords {
public:
    // The text must outlive the index: records are views into it.
    explicit StepRecords(std::string_view text);

    // The record numbered `number`, or nullptr. Where a number is defined
    // twice, the first definition holds.
    const StepRecord* find(std::uint64_t number) const;

    // The numbers of the records of one type, in text order.
    std::vector<std::uint64_t> numbers_of(std::string_view type) const;

    // The statements that begin as records (`#` and a number) but do not
    // read as one, and the second definitions of numbers.
    std::size_t unread() const { return unread_; }

private:
    EntityIndex index_;  // record numbers to slots
    std::vector<StepRecord> records_;  // by slot
    std::vector<std::uint64_t> numbers_;  // by slot
    std::size_t unread_ = 0;
};

// The fields of a record or of a list, one after the other: split where a
// comma stands outside strings and inner parentheses, each trimmed of
// blanks. Text that does not split (an unclosed string or parenthesis)
// ends the fields and marks them broken.
class Fields {
public:
    explicit Fields(std::string_view text) : rest_(text) {}

    // The next field; false after the last.
    bool next(std::string_view& field);
    bool broken() const { return broken_; }

private:
    std::string_view rest_;
    bool any_ = false;  // a field was given
    bool done_ = false;
    bool broken_ = false;
};

// All the fields at once, into `out` (reused by the caller across calls);
// false when they are broken.
bool split_fields(std::string_view text, std::vector<std::string_view>& out);

// A field's values, each None when the field holds something else.
// A reference: `#` and a number.
std::optional<std::uint64_t> reference_field(std::string_view field);
// A real or integer, bare or typed (`IFCLENGTHMEASURE(2.5)`), finite.
std::optional<double> real_field(std::string_view field);
// An integer, bare or typed.
std::optional<std::int64_t> integer_field(std::string_view field);
// An enumeration or logical between full stops (`.T.` gives "T").
std::optional<std::string_view> enumeration_field(std::string_view field);
// A string's text between its quotes, escapes left as written.
std::optional<std::string_view> string_field(std::string_view field);
// A list's inside, between its parentheses.
std::optional<std::string_view> list_field(std::string_view field);
// Whether the field is unset (`$`).
bool unset_field(std::string_view field);

// The values of a list field, each read by `read` (one of the readers
// above), into `out`; false when the field is no list of such values.
template <class T, class Read>
bool list_values(std::string_view field, Read read, std::vector<T>& out) {
    out.clear();
    const std::optional<std::string_view> list = list_field(field);
    if (!list) return false;
    Fields fields(*list);
    std::string_view item;
    while (fields.next(item)) {
        const std::optional<T> value = read(item);
        if (!value) return false;
        out.push_back(*value);
    }
    return !fields.broken();
}

// Whether the record is of `type` (given in capitals; the record's may be in any case).
bool is_type(const StepRecord& record, std::string_view type);

// The record numbered `number` when it is of `type` (given in capitals;
// the record's may be in any case), else nullptr.
const StepRecord* record_of(const StepRecords& records, std::uint64_t number, std::string_view type);

// That record's fields into `out`, when it is of `type` and has at least `count`.
bool fields_of(const StepRecords& records, std::uint64_t number, std::string_view type, std::size_t count,
               std::vector<std::string_view>& out);

// A list of 1 to 3 reals as a point (missing coordinates 0); None when the
// field is no such list.
std::optional<Vector3D> coordinates_field(std::string_view field);

}  // namespace velmarin::ifc
