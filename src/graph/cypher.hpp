// Statements of the Cypher query language for a spatial graph: one CREATE
// per node (label Room) and one MATCH ... CREATE per edge (relationship
// SHARES_WALL), each built piece by piece into a reused buffer. Attribute
// values arrive as text already (the binding writes Python's repr of them).
//
// Everything that comes from the user is written so that it stays data:
// the contact type inside its quotes with `\` and `'` escaped, and every
// attribute key that is not a plain identifier between backticks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "graph/graph_records.hpp"

namespace velmarin {

// Plain decimal digits.
void append_integer(std::string& out, std::uint64_t value);

// The shortest digits that read back as the same float, in positional
// notation (2, 0.1, 0.0000001, a 1 with 21 zeros for 1e21), -0 for negative
// zero, NaN, inf and -inf for the values that are not finite.
void append_float(std::string& out, double value);

// Inside single quotes: `\` as `\\`, `'` as `\'`, all else as it stands.
void append_quoted_text(std::string& out, std::string_view text);

// A plain identifier (an ASCII letter or `_`, then ASCII letters, digits or
// `_`) as it stands; anything else between backticks, inner ones doubled.
void append_property_key(std::string& out, std::string_view key);

// "CREATE (r<index>:Room {index: .., centroid_x: .., centroid_y: .., centroid_z: .."
void begin_node_statement(std::string& out, const NodeRecord& node);
// "})"
void end_node_statement(std::string& out);

// "MATCH (a:Room {index: <a>}), (b:Room {index: <b>}) CREATE (a)-[:SHARES_WALL
// {area: .., centroid_x: .., centroid_y: .., centroid_z: .., contact_type: '..'"
void begin_edge_statement(std::string& out, const EdgeRecord& edge);
// "}]->(b)"
void end_edge_statement(std::string& out);

// ", <key>: <value text>"
void append_attribute(std::string& out, std::string_view key, std::string_view value_text);

}  // namespace velmarin
