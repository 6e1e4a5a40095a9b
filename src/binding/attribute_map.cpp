#include "binding/attribute_map.hpp"

#include <sys/random.h>

#include <random>

namespace velmarin::binding {

namespace {

HashKey draw_from_os() {
    HashKey key;
    if (getentropy(&key, sizeof key) == 0) return key;
    std::random_device device;  // a system without getentropy
    key.k0 = (std::uint64_t{device()} << 32) | device();
    key.k1 = (std::uint64_t{device()} << 32) | device();
    return key;
}

// Each thread draws once; every further map on the thread takes the next
// first key, which is as unpredictable as a fresh draw and costs nothing.
HashKey next_map_key() {
    thread_local HashKey key = draw_from_os();
    HashKey taken = key;
    ++key.k0;
    return taken;
}

}  // namespace

AttributeMap::AttributeMap() : entries_(0, Hasher{next_map_key()}) {}

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
