#include "graph/graph_columns.hpp"

#include <algorithm>
#include <limits>
#include <string>

namespace velmarin {

bool fit_signed(std::span<const std::uint64_t> positions) {
    constexpr auto largest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    return std::all_of(positions.begin(), positions.end(), [](std::uint64_t p) { return p <= largest; });
}

Result<std::vector<std::uint64_t>> positions_from_signed(std::span<const std::int64_t> values, std::size_t width,
                                                         std::string_view column) {
    const auto negative = std::find_if(values.begin(), values.end(), [](std::int64_t v) { return v < 0; });
    if (negative != values.end()) {
        return value_error(std::string(column) + " holds the negative value " + std::to_string(*negative) + " in row " +
                           std::to_string(static_cast<std::size_t>(negative - values.begin()) / width));
    }
    return std::vector<std::uint64_t>(values.begin(), values.end());
}

}  // namespace velmarin
