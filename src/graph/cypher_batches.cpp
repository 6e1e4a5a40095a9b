#include "graph/cypher_batches.hpp"

#include <algorithm>

namespace velmarin {

Result<void> check_batch_size(std::uint64_t batch_size) {
    if (batch_size == 0) return value_error("batch_size must be at least 1.");
    return {};
}

std::vector<BatchSpan> cut_into_batches(std::size_t count, std::uint64_t batch_size) {
    check(batch_size > 0, "batches of no rows");
    // A size beyond any count is one batch of everything.
    const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(batch_size, count));
    std::vector<BatchSpan> batches;
    if (count == 0) return batches;
    batches.reserve((count + size - 1) / size);
    for (std::size_t begin = 0; begin < count;) {
        const std::size_t end = begin + std::min(size, count - begin);
        batches.push_back({begin, end});
        begin = end;
    }
    return batches;
}

}  // namespace velmarin
