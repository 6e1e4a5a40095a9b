#include "core/text_ids.hpp"

#include <limits>

#include "core/fault.hpp"

namespace velmarin {

std::uint32_t TextIds::id(std::string_view text) {
    if (last_ < texts_.size() && *texts_[last_] == text) return last_;
    auto found = ids_.find(text);
    if (found == ids_.end()) {
        check(texts_.size() < std::numeric_limits<std::uint32_t>::max(), "more distinct texts than ids");
        found = ids_.emplace(std::string(text), static_cast<std::uint32_t>(texts_.size())).first;
        texts_.push_back(&found->first);
    }
    last_ = found->second;
    return last_;
}

}  // namespace velmarin
