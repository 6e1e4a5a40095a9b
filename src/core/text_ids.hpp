// Small numbers for the texts of a long run in which few texts repeat (the
// contact types of a graph's edges, the attribute keys of its nodes): each
// distinct text gets the next id, 0, 1, 2, ..., on its first appearance.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/fault.hpp"
#include "core/keyed_hash.hpp"

namespace velmarin {

class TextIds {
public:
    // The id of `text`, a new one if it has none yet.
    std::uint32_t id(std::string_view text);

    // The text of an id that id() gave; valid as long as the table.
    std::string_view text(std::uint32_t id) const { return *checked(texts_, id); }
    std::size_t size() const noexcept { return texts_.size(); }

private:
    std::unordered_map<std::string, std::uint32_t, KeyedTextHash, std::equal_to<>> ids_;
    std::vector<const std::string*> texts_;  // the map's own keys, by id
    std::uint32_t last_ = 0;                 // the id given last: runs of one text are the rule
};

}  // namespace velmarin
