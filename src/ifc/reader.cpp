#include "ifc/reader.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "ifc/entity_index.hpp"
#include "ifc/text_fields.hpp"

namespace velmarin::ifc {

namespace {

constexpr std::uint64_t no_vertex = std::numeric_limits<std::uint64_t>::max();

struct PointDefinition {
    std::uint64_t entity;
    Vector3D position;
};

// A loop record: the references it holds end at `references_end` in the
// shared list, and `definitions_before` point definitions precede it.
struct LoopRecord {
    std::size_t definitions_before;
    std::size_t references_end;
};

// The records of the text, in text order, read in one scan.
struct ScannedRecords {
    std::vector<PointDefinition> definitions;
    std::uint64_t largest_entity = 0;
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
    records.definitions.push_back(
        {number, {read_coordinate(pieces[0]), read_coordinate(pieces[1]), read_coordinate(pieces[2])}});
    records.largest_entity = std::max(records.largest_entity, number);
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

// What the replay knows of one defined point: its coordinates as of the
// current line (its first definition before that) and its vertex, if any.
struct PointState {
    Vector3D position;
    std::uint64_t vertex = no_vertex;
};

// The defined points by slot, each starting out with its first definition,
// and the slot of every definition.
struct DefinedPoints {
    EntityIndex index;
    std::vector<PointState> states;
    std::vector<std::size_t> slot_of_definition;
};

DefinedPoints index_points(const ScannedRecords& records) {
    DefinedPoints points{EntityIndex(records.largest_entity, records.definitions.size()), {}, {}};
    points.slot_of_definition.reserve(records.definitions.size());
    for (const PointDefinition& definition : records.definitions) {
        const auto [slot, is_new] = points.index.insert(definition.entity);
        if (is_new) points.states.push_back({definition.position});
        points.slot_of_definition.push_back(slot);
    }
    return points;
}

// Replays the records in text order: a definition changes the coordinates
// of later first references, and a reference to a number that no line
// defines is skipped.
Result<Mesh> assemble(const ScannedRecords& records) {
    DefinedPoints points = index_points(records);
    std::vector<Vector3D> vertices;
    FaceList faces;
    faces.reserve(records.loops.size(), records.references.size());
    std::size_t applied = 0;
    std::size_t reference = 0;
    std::vector<std::uint64_t> face;
    for (const LoopRecord& loop : records.loops) {
        for (; applied < loop.definitions_before; ++applied) {
            const std::size_t slot = checked(points.slot_of_definition, applied);
            checked(points.states, slot).position = records.definitions[applied].position;
        }
        face.clear();
        for (; reference < loop.references_end; ++reference) {
            const std::optional<std::size_t> slot = points.index.find(checked(records.references, reference));
            if (!slot) continue;
            PointState& point = checked(points.states, *slot);
            if (point.vertex == no_vertex) {
                point.vertex = vertices.size();
                vertices.push_back(point.position);
            }
            face.push_back(point.vertex);
        }
        if (face.size() >= 3) faces.push_back(face);
    }
    return build_mesh(std::move(vertices), std::move(faces));
}

}  // namespace

Result<Mesh> read_points_and_loops(std::string_view text) { return assemble(scan(text)); }

}  // namespace velmarin::ifc
