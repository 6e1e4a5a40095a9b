#include "binding/attribute_map.hpp"

#include <utility>

namespace velmarin::binding {

void AttributeMap::set(std::string key, PyRef value) {
    Slot& slot = entries_.try_emplace(std::move(key)).first->second;
    // Released at the end of this block, while the owner is still borrowed.
    PyRef old = std::exchange(slot.object, std::move(value));
    slot.positions = {};
}

void AttributeMap::set_positions(std::string key, std::vector<std::uint64_t> positions) {
    Slot& slot = entries_.try_emplace(std::move(key)).first->second;
    PyRef old = std::move(slot.object);
    slot.positions = std::move(positions);
}

PyRef AttributeMap::get(std::string_view key) const {
    auto entry = entries_.find(key);
    if (entry == entries_.end()) return PyRef();
    return PyRef::borrow(object_of(entry->second));
}

PyObject* AttributeMap::object_of(Slot& slot) {
    if (!slot.object) {
        slot.object = PyRef::steal(Converter<std::vector<std::uint64_t>>::cast(slot.positions));
        if (!slot.object) return nullptr;
        slot.positions = {};
    }
    return slot.object.get();
}

PyRef AttributeMap::to_dict() const {
    return to_dict([](PyObject* value) { return PyRef::borrow(value); });
}

}  // namespace velmarin::binding
