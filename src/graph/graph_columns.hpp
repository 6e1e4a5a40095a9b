// Positions (node indices, edge ends, wire contacts) as array columns hold
// them: int64, the type array libraries give integers by default, or uint64
// for a column that holds a value beyond it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "core/error.hpp"

namespace velmarin {

// Whether every position fits a signed 64-bit integer, as every position
// of a built graph does (only a graph built by hand can hold larger ones).
bool fit_signed(std::span<const std::uint64_t> positions);

// Positions from rows of `width` signed integers. A negative one fails:
// ValueError "<column> holds the negative value -1 in row 3".
Result<std::vector<std::uint64_t>> positions_from_signed(std::span<const std::int64_t> values, std::size_t width,
                                                         std::string_view column);

}  // namespace velmarin
