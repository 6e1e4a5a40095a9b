#include "ifc/step_records.hpp"

#include <charconv>
#include <cmath>

#include "ifc/text_fields.hpp"

namespace velmarin::ifc {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return text;
}

bool is_type_character(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool same_type(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upper(a[i]) != upper(b[i])) return false;
    }
    return true;
}

// Where the string that opens at `at` (a quote) ends: past its closing
// quote, a doubled quote being one inside it; npos when it never closes.
std::size_t string_end(std::string_view text, std::size_t at) {
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] != '\'') continue;
        if (i + 1 < text.size() && text[i + 1] == '\'') {
            ++i;
            continue;
        }
        return i + 1;
    }
    return std::string_view::npos;
}

// Where the statement that starts at `at` ends: at the first semicolon
// outside strings and comments, or the text's end.
std::size_t statement_end(std::string_view text, std::size_t at) {
    std::size_t i = at;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ';') return i;
        if (c == '\'') {
            i = string_end(text, i);
            if (i == std::string_view::npos) return text.size();
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            const std::size_t close = text.find("*/", i + 2);
            if (close == std::string_view::npos) return text.size();
            i = close + 2;
        } else {
            ++i;
        }
    }
    return text.size();
}

// The statement without the blanks and comments before it: a comment
// between two records belongs to the statement of the second.
std::string_view without_leading_comments(std::string_view statement) {
    statement = trimmed(statement);
    while (statement.starts_with("/*")) {
        const std::size_t close = statement.find("*/", 2);
        if (close == std::string_view::npos) return {};
        statement = trimmed(statement.substr(close + 2));
    }
    return statement;
}

// `#12 = IFCTYPE(...)`: the number and the record, or None.
std::optional<std::pair<std::uint64_t, StepRecord>> entity_record(std::string_view statement) {
    statement = without_leading_comments(statement);
    if (statement.size() < 2 || statement.front() != '#') return std::nullopt;
    std::size_t at = 1;
    while (at < statement.size() && statement[at] >= '0' && statement[at] <= '9') ++at;
    const std::optional<std::uint64_t> number = read_number(statement.substr(1, at - 1));
    if (!number) return std::nullopt;
    std::string_view rest = trimmed(statement.substr(at));
    if (rest.empty() || rest.front() != '=') return std::nullopt;
    rest = trimmed(rest.substr(1));
    std::size_t type_end = 0;
    while (type_end < rest.size() && is_type_character(rest[type_end])) ++type_end;
    const std::string_view type = rest.substr(0, type_end);
    rest = trimmed(rest.substr(type_end));
    if (type.empty() || rest.size() < 2 || rest.front() != '(' || rest.back() != ')') return std::nullopt;
    return std::pair{*number, StepRecord{type, rest.substr(1, rest.size() - 2)}};
}

// A typed value's inside (`IFCLENGTHMEASURE(2.5)` gives "2.5"); other fields as they are.
std::string_view untyped(std::string_view field) {
    if (field.empty() || !is_type_character(field.front()) || (field.front() >= '0' && field.front() <= '9')) {
        return field;
    }
    const std::size_t open = field.find('(');
    if (open == std::string_view::npos || field.back() != ')') return field;
    return trimmed(field.substr(open + 1, field.size() - open - 2));
}

template <class Number>
std::optional<Number> number_field(std::string_view field) {
    field = untyped(field);
    if (!field.empty() && field.front() == '+') field.remove_prefix(1);
    Number value{};
    const char* end = field.data() + field.size();
    const auto [stop, error] = std::from_chars(field.data(), end, value);
    if (error != std::errc() || stop != end || field.empty()) return std::nullopt;
    return value;
}

}  // namespace

StepRecords::StepRecords(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = statement_end(text, at);
        const std::string_view statement = text.substr(at, end - at);
        if (const auto record = entity_record(statement)) {
            const auto [slot, is_new] = index_.insert(record->first);
            if (is_new) {
                records_.push_back(record->second);
                numbers_.push_back(record->first);
            } else {
                ++unread_;
            }
        } else if (without_leading_comments(statement).starts_with('#')) {
            ++unread_;
        }
        at = end + 1;
    }
}

const StepRecord* StepRecords::find(std::uint64_t number) const {
    const std::optional<std::size_t> slot = index_.find(number);
    return slot ? &records_[*slot] : nullptr;
}

std::vector<std::uint64_t> StepRecords::numbers_of(std::string_view type) const {
    std::vector<std::uint64_t> numbers;
    for (std::size_t slot = 0; slot < records_.size(); ++slot) {
        if (same_type(records_[slot].type, type)) numbers.push_back(numbers_[slot]);
    }
    return numbers;
}

bool Fields::next(std::string_view& field) {
    if (done_) return false;
    int depth = 0;
    std::size_t i = 0;
    while (i < rest_.size()) {
        const char c = rest_[i];
        if (c == '\'') {
            i = string_end(rest_, i);
            if (i == std::string_view::npos) break;
            continue;
        }
        if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth < 0) {
            break;
        } else if (c == ',' && depth == 0) {
            field = trimmed(rest_.substr(0, i));
            rest_.remove_prefix(i + 1);
            any_ = true;
            return true;
        }
        ++i;
    }
    done_ = true;
    if (i != rest_.size() || depth != 0) {
        broken_ = true;
        return false;
    }
    field = trimmed(rest_);
    return any_ || !field.empty();  // "()" holds no field
}

bool split_fields(std::string_view text, std::vector<std::string_view>& out) {
    out.clear();
    Fields fields(text);
    std::string_view field;
    while (fields.next(field)) out.push_back(field);
    return !fields.broken();
}

std::optional<std::uint64_t> reference_field(std::string_view field) {
    if (field.size() < 2 || field.front() != '#') return std::nullopt;
    return read_number(field.substr(1));
}

std::optional<double> real_field(std::string_view field) {
    const std::optional<double> value = number_field<double>(field);
    if (!value || !std::isfinite(*value)) return std::nullopt;
    return value;
}

std::optional<std::int64_t> integer_field(std::string_view field) { return number_field<std::int64_t>(field); }

std::optional<std::string_view> enumeration_field(std::string_view field) {
    if (field.size() < 3 || field.front() != '.' || field.back() != '.') return std::nullopt;
    return field.substr(1, field.size() - 2);
}

std::optional<std::string_view> string_field(std::string_view field) {
    if (field.size() < 2 || field.front() != '\'' || field.back() != '\'') return std::nullopt;
    return field.substr(1, field.size() - 2);
}

std::optional<std::string_view> list_field(std::string_view field) {
    if (field.size() < 2 || field.front() != '(' || field.back() != ')') return std::nullopt;
    return field.substr(1, field.size() - 2);
}

bool unset_field(std::string_view field) { return field == "$"; }

bool is_type(const StepRecord& record, std::string_view type) { return same_type(record.type, type); }

const StepRecord* record_of(const StepRecords& records, std::uint64_t number, std::string_view type) {
    const StepRecord* record = records.find(number);
    return record && is_type(*record, type) ? record : nullptr;
}

bool fields_of(const StepRecords& records, std::uint64_t number, std::string_view type, std::size_t count,
               std::vector<std::string_view>& out) {
    const StepRecord* record = record_of(records, number, type);
    return record && split_fields(record->fields, out) && out.size() >= count;
}

std::optional<Vector3D> coordinates_field(std::string_view field) {
    const std::optional<std::string_view> list = list_field(field);
    if (!list) return std::nullopt;
    double coordinates[3] = {0.0, 0.0, 0.0};
    std::size_t count = 0;
    Fields fields(*list);
    std::string_view item;
    while (fields.next(item)) {
        const std::optional<double> value = real_field(item);
        if (!value || count == 3) return std::nullopt;
        coordinates[count++] = *value;
    }
    if (fields.broken() || count == 0) return std::nullopt;
    return Vector3D{coordinates[0], coordinates[1], coordinates[2]};
}

}  // namespace velmarin::ifc
