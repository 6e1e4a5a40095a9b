// One element of a building's hierarchy (site, building, storey, space...),
// named by a number, a kind and the number of its parent. Nothing ties the
// fields together.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmarin {

struct TopologicalEntity {
    std::uint64_t id = 0;
    std::string entity_type;
    std::optional<std::uint64_t> parent_id;  // absent for a root
};

}  // namespace velmarin
