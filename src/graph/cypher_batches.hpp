// Cypher for loading a spatial graph in batches: three fixed query texts,
// each run with the rows of one batch as its parameter `rows`, and the cut
// of the nodes and edges into batches.
//
// No value ever appears in a query text: a driver sends the rows as typed
// data, so floats stay floats, and keys and texts of any spelling stay data.
// The edge batches find their rooms through the index on Room.index, which
// the first query creates; without it every row would scan all rooms.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/error.hpp"

namespace velmarin {

inline constexpr std::string_view room_index_query = "CREATE INDEX FOR (r:Room) ON (r.index)";

// A row is the room's whole property map.
inline constexpr std::string_view room_batch_query = "UNWIND $rows AS room CREATE (r:Room) SET r = room";

// A row is {a: <index>, b: <index>, properties: <the wall's property map>},
// so that no property, whatever its name, can choose the ends.
inline constexpr std::string_view wall_batch_query =
    "UNWIND $rows AS wall MATCH (a:Room {index: wall.a}), (b:Room {index: wall.b}) "
    "CREATE (a)-[w:SHARES_WALL]->(b) SET w = wall.properties";

// The names that the queries above read the parameters by.
namespace batch_keys {
inline constexpr std::string_view rows = "rows";
inline constexpr std::string_view end_a = "a";
inline constexpr std::string_view end_b = "b";
inline constexpr std::string_view properties = "properties";
}  // namespace batch_keys

// The properties that the records fill, as the statements name them. They
// are written over the attributes, so an attribute of the same name gives
// way: a room keeps the index its walls are matched by.
namespace record_keys {
inline constexpr std::string_view index = "index";
inline constexpr std::array<std::string_view, 3> centroid = {"centroid_x", "centroid_y", "centroid_z"};
inline constexpr std::string_view area = "area";
inline constexpr std::string_view contact_type = "contact_type";
}  // namespace record_keys

// Items [begin, end) of one batch.
struct BatchSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
};

// A batch must hold at least one row.
Result<void> check_batch_size(std::uint64_t batch_size);

// `count` items in order, cut into batches of `batch_size` (the last one
// shorter); none for no items.
std::vector<BatchSpan> cut_into_batches(std::size_t count, std::uint64_t batch_size);

}  // namespace velmarin
