#include "ifc/reader.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <unordered_map>
#include <vector>

#include "ifc/text_fields.hpp"

namespace velmarin::ifc {

namespace {

constexpr std::uint64_t no_vertex = std::numeric_limits<std::uint64_t>::max();

// One definition of a point, by the slot its entity number owns.
struct PointDefinition {
    std::size_t slot;
    Vector3D position;
};

// A loop record: the references it holds end at `references_end` in the
// shared list, and `definitions_before` point definitions precede it.
struct LoopRecord {
    std::size_t definitions_before;
    std::size_t references_end;
};

// The records of the text, in text order, read in one scan. Every entity
// number that some point record defines owns a slot; a slot starts out with
// the coordinates of the number's first definition.
struct ScannedRecords {
    std::unordered_map<std::uint64_t, std::size_t> slot_of;
    std::vector<Vector3D> first_positions;
    std::vector<PointDefinition> definitions;
    std::vector<std::uint64_t> references;
    std::vector<LoopRecord> loops;
};

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

void scan_point(std::uint64_t number, std::string_view rest, ScannedRecords& records) {
    const std::optional<std::string_view> inside = parenthesised(rest);
    if (!inside) return;
    std::string_view pieces[3];
    std::size_t count = 0;
    for_each_piece(*inside, [&](std::string_view piece) {
        if (count < 3) pieces[count] = piece;
        ++count;
    });
    if (count < 3) return;  // a two-dimensional point defines nothing
    const Vector3D position{read_coordinate(pieces[0]), read_coordinate(pieces[1]), read_coordinate(pieces[2])};
    const auto [entry, is_new] = records.slot_of.try_emplace(number, records.first_positions.size());
    if (is_new) records.first_positions.push_back(position);
    records.definitions.push_back({entry->second, position});
}

void scan_loop(std::string_view rest, ScannedRecords& records) {
    const std::optional<std::string_view> inside = parenthesised(rest);
    if (!inside) return;
    for_each_piece(*inside, [&](std::string_view piece) {
        piece = trim(piece);
        piece.remove_prefix(std::min(piece.find_first_not_of('#'), piece.size()));
        if (const std::optional<std::uint64_t> number = read_number(piece)) records.references.push_back(*number);
    });
    records.loops.push_back({records.definitions.size(), records.references.size()});
}

void scan_line(std::string_view line, ScannedRecords& records) {
    line = trim(line);
    if (line.empty() || line.front() != '#') return;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return;
    const std::optional<std::uint64_t> number = read_number(trim(line.substr(1, equals - 1)));
    if (!number) return;
    const std::string_view rest = line.substr(equals + 1);
    if (rest.find("IFCCARTESIANPOINT") != std::string_view::npos) {
        scan_point(*number, rest, records);
    } else if (rest.find("IFCPOLYLOOP") != std::string_view::npos) {
        scan_loop(rest, records);
    }
}

ScannedRecords scan(std::string_view text) {
    ScannedRecords records;
    while (!text.empty()) {
        const void* feed = std::memchr(text.data(), '\n', text.size());
        const std::size_t length = feed ? static_cast<const char*>(feed) - text.data() : text.size();
        scan_line(text.substr(0, length), records);
        text.remove_prefix(feed ? length + 1 : length);
    }
    return records;
}

// Replays the records in text order: a definition changes the coordinates
// of later first references, and a reference to a number that no line
// defines is skipped.
Result<Mesh> assemble(ScannedRecords records) {
    std::vector<Vector3D>& current = records.first_positions;
    std::vector<std::uint64_t> vertex_of(current.size(), no_vertex);
    std::vector<Vector3D> vertices;
    std::vector<Face> faces;
    std::size_t applied = 0;
    std::size_t reference = 0;
    Face face;
    for (const LoopRecord& loop : records.loops) {
        for (; applied < loop.definitions_before; ++applied) {
            const PointDefinition& definition = checked(records.definitions, applied);
            checked(current, definition.slot) = definition.position;
        }
        face.clear();
        for (; reference < loop.references_end; ++reference) {
            const auto entry = records.slot_of.find(checked(records.references, reference));
            if (entry == records.slot_of.end()) continue;
            std::uint64_t& vertex = checked(vertex_of, entry->second);
            if (vertex == no_vertex) {
                vertex = vertices.size();
                vertices.push_back(current[entry->second]);
            }
            face.push_back(vertex);
        }
        if (face.size() >= 3) faces.push_back(face);
    }
    return build_mesh(std::move(vertices), std::move(faces));
}

}  // namespace

Result<Mesh> read_points_and_loops(std::string_view text) { return assemble(scan(text)); }

}  // namespace velmarin::ifc
