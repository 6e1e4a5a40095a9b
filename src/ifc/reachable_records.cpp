#include "ifc/reachable_records.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace velmarin::ifc {

namespace {

// The bounds velmarin_ifc's checks hold a model's numbers to: a length in a
// shape, in metres, and any other number (a ratio, an angle, a scale).
constexpr double length_bound = 1e4;
constexpr double number_bound = 1e6;

// The references that a geometry engine follows as it finds them, by the
// types that hold them (with their subtypes, in IFC2X3 and IFC4) and that
// are not checked here: velmarin_ifc's checks look at each, so a record of
// one is doubted. Mapped items, representation maps and face sets are
// checked here (`followed_kind`), as common bodies hold them.
constexpr std::array<std::string_view, 14> unchecked_followed = {
    "IFCBOOLEANCLIPPINGRESULT",
    "IFCBOOLEANRESULT",
    "IFCCOMPOSITECURVESEGMENT",
    "IFCCOMPOSITEPROFILEDEF",
    "IFCCSGSOLID",
    "IFCDERIVEDPROFILEDEF",
    "IFCMIRROREDPROFILEDEF",
    "IFCREVOLVEDAREASOLID",
    "IFCREVOLVEDAREASOLIDTAPERED",
    "IFCREPARAMETRISEDCOMPOSITECURVESEGMENT",
    "IFCSURFACECURVESWEPTAREASOLID",
    "IFCTESSELLATEDFACESET",
    "IFCTRIANGULATEDIRREGULARNETWORK",
    "IFCTRIMMEDCURVE",
};

// The types whose fields are lists of reals, where a reader takes an
// integer as a real: their integers are numbers to check too.
constexpr std::array<std::string_view, 4> real_lists = {"IFCCARTESIANPOINT", "IFCDIRECTION", "IFCCARTESIANPOINTLIST2D",
                                                        "IFCCARTESIANPOINTLIST3D"};

template <std::size_t N>
bool is_one_of(const StepRecord& record, const std::array<std::string_view, N>& types) {
    return std::any_of(types.begin(), types.end(), [&](std::string_view type) { return is_type(record, type); });
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool is_word_character(char c) { return is_digit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }

// A number that starts at `at`: how many digits its integer part has,
// whether it has a point, and whether it has an exponent that is not
// negative; `at` is moved past it.
struct Number {
    int digits = 0;
    bool point = false;
    bool raised = false;
};

Number read_number_at(std::string_view text, std::size_t& at) {
    Number number;
    if (text[at] == '+' || text[at] == '-') ++at;
    while (at < text.size() && is_digit(text[at])) ++number.digits, ++at;
    if (at < text.size() && text[at] == '.') {
        number.point = true;
        ++at;
        while (at < text.size() && is_digit(text[at])) ++at;
    }
    if (at < text.size() && (text[at] == 'E' || text[at] == 'e')) {
        ++at;
        number.raised = at < text.size() && (text[at] == '+' || is_digit(text[at]));
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
        while (at < text.size() && is_digit(text[at])) ++at;
    }
    return number;
}

bool starts_number(std::string_view text, std::size_t at) {
    std::size_t first = at;
    if (text[first] == '+' || text[first] == '-') ++first;
    if (first < text.size() && is_digit(text[first])) return true;
    return first + 1 < text.size() && text[first] == '.' && is_digit(text[first + 1]);
}

std::string described(std::uint64_t number, const StepRecord& record) {
    return "#" + std::to_string(number) + "=" + std::string(record.type);
}

}  // namespace

ReachableRecords::ReachableRecords(const StepRecords& records, double metres)
    : records_(records), digits_(long_digits(metres)) {}

int ReachableRecords::long_digits(double metres) {
    const double longest = metres > 0.0 ? std::min(length_bound / metres, number_bound) : 0.0;
    const double whole = std::floor(longest);
    int digits = 1;
    for (double tens = 10.0; tens <= whole && digits < 30; tens *= 10.0) ++digits;
    return digits;
}

std::optional<std::string> ReachableRecords::followed_kind(std::uint64_t number, const StepRecord& record) const {
    if (is_one_of(record, unchecked_followed)) {
        return described(number, record) + ": a reference other readers follow unchecked";
    }
    struct Followed {
        std::string_view holder;
        std::size_t field;
        std::array<std::string_view, 2> kinds;
    };
    static constexpr std::array<Followed, 4> checked = {{
        {"IFCMAPPEDITEM", 0, {"IFCREPRESENTATIONMAP", "IFCREPRESENTATIONMAP"}},
        {"IFCREPRESENTATIONMAP", 1, {"IFCSHAPEREPRESENTATION", "IFCTOPOLOGYREPRESENTATION"}},
        {"IFCTRIANGULATEDFACESET", 0, {"IFCCARTESIANPOINTLIST3D", "IFCCARTESIANPOINTLIST3D"}},
        {"IFCPOLYGONALFACESET", 0, {"IFCCARTESIANPOINTLIST3D", "IFCCARTESIANPOINTLIST3D"}},
    }};
    for (const Followed& followed : checked) {
        if (!is_type(record, followed.holder)) continue;
        std::vector<std::string_view> fields;
        const std::optional<std::uint64_t> target =
            split_fields(record.fields, fields) && fields.size() > followed.field
                ? reference_field(fields[followed.field])
                : std::nullopt;
        const StepRecord* found = target ? records_.find(*target) : nullptr;
        if (!found || !is_one_of(*found, followed.kinds)) {
            return described(number, record) + ": a followed reference to another kind";
        }
    }
    return std::nullopt;
}

std::optional<std::string> ReachableRecords::looked_at(std::uint64_t number, const StepRecord& record,
                                                       std::vector<std::uint64_t>& out) const {
    out.clear();
    if (std::optional<std::string> kind = followed_kind(number, record)) return kind;
    const bool integers_are_reals = is_one_of(record, real_lists);
    const std::string_view text = record.fields;
    bool typed = false;  // inside a typed value, IFCREAL(...), where an integer may stand for a real
    std::size_t at = 0;
    while (at < text.size()) {
        const char c = text[at];
        const char before = at > 0 ? text[at - 1] : ',';
        if (c == '\'') {
            const std::size_t close = text.find('\'', at + 1);
            if (close == std::string_view::npos) break;
            at = close + 1;  // a doubled quote reads as two strings: nothing between them is skipped
        } else if (c == '#') {
            std::size_t end = at + 1;
            std::uint64_t target = 0;
            while (end < text.size() && is_digit(text[end]) && target < (UINT64_MAX - 9) / 10) {
                target = target * 10 + static_cast<std::uint64_t>(text[end++] - '0');
            }
            if (end == at + 1 || (end < text.size() && is_digit(text[end]))) {
                return described(number, record) + ": a reference that does not read";
            }
            out.push_back(target);
            at = end;
        } else if (!is_word_character(before) && before != '.' && before != '#' && starts_number(text, at)) {
            const Number read = read_number_at(text, at);
            if (read.raised || (read.digits >= digits_ && (read.point || integers_are_reals || typed))) {
                return described(number, record) + ": a number long enough to be beyond a building's";
            }
        } else {
            if (c == '(' && is_word_character(before)) typed = true;
            if (c == ')') typed = false;
            ++at;
        }
    }
    return std::nullopt;
}

std::optional<std::string> ReachableRecords::doubt(std::uint64_t root) {
    struct Frame {
        std::vector<std::uint64_t> references;
        std::size_t next = 0;
        std::uint64_t number;
    };
    std::vector<Frame> path;
    // Looks at a record first reached, and puts it on the path.
    auto enter = [&](std::uint64_t number) -> std::optional<std::string> {
        const StepRecord* record = records_.find(number);
        if (!record) return "#" + std::to_string(number) + ": referred to, and not in the model";
        Frame frame{{}, 0, number};
        if (std::optional<std::string> found = looked_at(number, *record, frame.references)) return found;
        state_[number] = State::open;
        path.push_back(std::move(frame));
        return std::nullopt;
    };
    if (state_.contains(root)) return std::nullopt;
    if (std::optional<std::string> found = enter(root)) return found;
    while (!path.empty()) {
        Frame& top = path.back();
        if (top.next == top.references.size()) {
            state_[top.number] = State::done;
            path.pop_back();
            continue;
        }
        const std::uint64_t next = top.references[top.next++];
        const auto known = state_.find(next);
        if (known == state_.end()) {
            if (std::optional<std::string> found = enter(next)) return found;
        } else if (known->second == State::open) {
            return "#" + std::to_string(next) + ": in a loop of references";
        }
    }
    return std::nullopt;
}

}  // namespace velmarin::ifc
