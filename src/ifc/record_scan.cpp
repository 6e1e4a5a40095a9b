#include "ifc/record_scan.hpp"

#include <algorithm>
#include <cstring>
#include <optional>

#include "ifc/digits.hpp"
#include "ifc/text_fields.hpp"

namespace velmarin::ifc {

namespace {

constexpr std::string_view point_keyword = "IFCCARTESIANPOINT";
constexpr std::string_view loop_keyword = "IFCPOLYLOOP";

// --- the general rules, for any line ------------------------------------------

// The text between the first "((" and the first "))" of a record.
std::optional<std::string_view> parenthesised(std::string_view rest) {
    const std::size_t open = rest.find("((");
    const std::size_t close = rest.find("))");
    if (open == std::string_view::npos || close == std::string_view::npos || close < open + 2) return std::nullopt;
    return rest.substr(open + 2, close - open - 2);
}

// Calls `visit` for each comma-separated piece, empty ones included.
template <class Visit>
void for_each_piece(std::string_view list, Visit visit) {
    while (true) {
        const std::size_t comma = list.find(',');
        if (comma == std::string_view::npos) {
            visit(list);
            return;
        }
        visit(list.substr(0, comma));
        list.remove_prefix(comma + 1);
    }
}

// Where a line's records go: the sink, with a list for the references of a
// loop that is reused from loop to loop.
struct Output {
    RecordSink& sink;
    std::vector<std::uint64_t>& references;
};

void scan_point(std::uint64_t number, std::string_view rest, Output out) {
    const std::optional<std::string_view> inside = parenthesised(rest);
    if (!inside) return;
    std::string_view pieces[3];
    std::size_t count = 0;
    for_each_piece(*inside, [&](std::string_view piece) {
        if (count < 3) pieces[count] = piece;
        ++count;
    });
    if (count < 3) return;  // a two-dimensional point defines nothing
    out.sink.point(number, {read_coordinate(pieces[0]), read_coordinate(pieces[1]), read_coordinate(pieces[2])});
}

void scan_loop(std::string_view rest, Output out) {
    const std::optional<std::string_view> inside = parenthesised(rest);
    if (!inside) return;
    out.references.clear();
    for_each_piece(*inside, [&](std::string_view piece) {
        piece = trim(piece);
        piece.remove_prefix(std::min(piece.find_first_not_of('#'), piece.size()));
        if (const std::optional<std::uint64_t> number = read_number(piece)) out.references.push_back(*number);
    });
    out.sink.loop(out.references);
}

void scan_any_line(std::string_view line, Output out) {
    line = trim(line);
    if (line.empty() || line.front() != '#') return;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return;
    const std::optional<std::uint64_t> number = read_number(trim(line.substr(1, equals - 1)));
    if (!number) return;
    const std::string_view rest = line.substr(equals + 1);
    if (rest.find(point_keyword) != std::string_view::npos) {
        scan_point(*number, rest, out);
    } else if (rest.find(loop_keyword) != std::string_view::npos) {
        scan_loop(rest, out);
    }
}

// --- the lines exporters write, read in one pass ------------------------------
//
// "#12=IFCCARTESIANPOINT((x,y,z))…", "#13=IFCPOLYLOOP((#1,#2,…))…" and
// "#14=ANYTHING…" with a bare entity number. For these the general rules
// come down to what follows, with no trimming and no searches for brackets;
// a line that strays from the form anywhere (blanks, signs, other brackets,
// more coordinates) is left to the general rules, untouched.

// Reads 1 to 19 digits (a run that cannot overflow) at `at`; the end of the
// run, or null when there is no digit or a longer run.
const char* digit_run(const char* at, const char* end, std::uint64_t& value) {
    const Digits digits = read_digits(at, end);
    if (digits.count == 0 || digits.count > 19) return nullptr;
    value = digits.value;
    return digits.end;
}

bool scan_plain_point(std::uint64_t number, std::string_view inside, Output out) {
    const char* at = inside.data();
    const char* const end = at + inside.size();
    double xyz[3];
    for (double& coordinate : xyz) {
        const char separator = &coordinate == &xyz[2] ? ')' : ',';
        if (const auto plain = read_plain_coordinate(at, end);
            plain && plain->second < end && *plain->second == separator) {
            coordinate = plain->first;
            at = plain->second;
        } else {
            const char* const piece = at;
            while (at < end && *at != ',' && *at != ')') ++at;
            if (at == end || *at != separator) return false;
            coordinate = read_coordinate({piece, static_cast<std::size_t>(at - piece)});
        }
        ++at;
    }
    if (at == end || *at != ')') return false;
    out.sink.point(number, {xyz[0], xyz[1], xyz[2]});
    return true;
}

// Reads the references "#a,#b,…" up to the closing "))"; the end of that,
// or null when the list strays from the form.
const char* scan_plain_references(const char* at, const char* end, std::vector<std::uint64_t>& references) {
    references.clear();
    while (at < end && *at == '#') {
        std::uint64_t reference = 0;
        at = digit_run(at + 1, end, reference);
        if (!at || at == end) return nullptr;
        references.push_back(reference);
        if (*at == ')') return at + 1 < end && at[1] == ')' ? at + 2 : nullptr;
        if (*at != ',') return nullptr;
        ++at;
    }
    return nullptr;
}

bool scan_plain_loop(std::string_view inside, Output out) {
    const char* const end = inside.data() + inside.size();
    const char* const after = scan_plain_references(inside.data(), end, out.references);
    // Any mention of the point keyword makes the line a point record.
    if (!after ||
        std::string_view(after, static_cast<std::size_t>(end - after)).find(point_keyword) != std::string_view::npos) {
        return false;
    }
    out.sink.loop(out.references);
    return true;
}

bool scan_plain_line(std::string_view line, Output out) {
    if (line.empty() || line.front() != '#') return false;
    std::uint64_t number = 0;
    const char* const end = line.data() + line.size();
    const char* const equals = digit_run(line.data() + 1, end, number);
    if (!equals || equals == end || *equals != '=') return false;
    const std::string_view rest(equals + 1, static_cast<std::size_t>(end - equals - 1));
    if (rest.starts_with(point_keyword) && rest.substr(point_keyword.size()).starts_with("((")) {
        return scan_plain_point(number, rest.substr(point_keyword.size() + 2), out);
    }
    if (rest.starts_with(loop_keyword) && rest.substr(loop_keyword.size()).starts_with("((")) {
        return scan_plain_loop(rest.substr(loop_keyword.size() + 2), out);
    }
    // Neither kind: nothing to read, unless a keyword stands further on.
    return rest.find(point_keyword) == std::string_view::npos && rest.find(loop_keyword) == std::string_view::npos;
}

}  // namespace

void RecordScanner::scan_line(std::string_view line) {
    const Output out{sink_, references_};
    if (!scan_plain_line(line, out)) scan_any_line(line, out);
}

void RecordScanner::scan(std::string_view piece) {
    while (const void* feed = std::memchr(piece.data(), '\n', piece.size())) {
        const auto length = static_cast<std::size_t>(static_cast<const char*>(feed) - piece.data());
        if (open_line_.empty()) {
            scan_line(piece.substr(0, length));
        } else {
            open_line_.append(piece.substr(0, length));
            scan_line(open_line_);
            open_line_.clear();
        }
        piece.remove_prefix(length + 1);
    }
    open_line_.append(piece);
}

void RecordScanner::finish() {
    scan_line(open_line_);
    open_line_.clear();
}

}  // namespace velmarin::ifc
