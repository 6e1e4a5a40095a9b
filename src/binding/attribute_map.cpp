#include "binding/attribute_map.hpp"

namespace velmarin::binding {

void AttributeMap::set(std::string key, PyRef value) {
    auto [entry, inserted] = entries_.try_emplace(std::move(key), std::move(value));
    if (!inserted) {
        // Released at the end of this block, while the owner is still borrowed.
        PyRef old = std::exchange(entry->second, std::move(value));
    }
}

PyRef AttributeMap::get(std::string_view key) const {
    auto entry = entries_.find(key);
    return entry == entries_.end() ? PyRef() : entry->second;
}

PyRef AttributeMap::to_dict() const {
    return to_dict([](PyObject* value) { return PyRef::borrow(value); });
}

}  // namespace velmarin::binding
