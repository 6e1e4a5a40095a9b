// The free metadata of graph nodes and edges: text keys to the very Python
// objects that were stored, and the three methods both classes offer on it.
//
// Keys are compared by their UTF-8 bytes. The table hashes them with a key
// of its own (KeyedTextHash), so no enumeration order can be relied on and
// chosen keys cannot be made to collide.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "binding/declare.hpp"
#include "binding/python.hpp"
#include "core/keyed_hash.hpp"

namespace velmarin::binding {

class AttributeMap {
public:
    // Inserts the entry, or puts `value` in place of the stored one and
    // releases that one before returning. The old value's finaliser thus
    // runs while the caller still holds its exclusive borrow of the owner.
    void set(std::string key, PyRef value);

    // The stored object with a new reference; empty when the key is absent.
    PyRef get(std::string_view key) const;

    // A new dict of all entries; empty with the error set on failure.
    PyRef to_dict() const;

    // The same with each value as `value_of(value)` makes it (a new
    // reference, or empty with the error set, which ends the walk).
    template <class ValueOf>
    PyRef to_dict(ValueOf&& value_of) const {
        PyRef dict = PyRef::steal(PyDict_New());
        if (!dict) return {};
        for (const auto& [key, value] : entries_) {
            PyRef text = text_object(key);
            PyRef made = text ? value_of(value.get()) : PyRef();
            if (!made || PyDict_SetItem(dict.get(), text.get(), made.get()) != 0) return {};
        }
        return dict;
    }

    // Visits the entries in the map's own order, (key, borrowed value),
    // while `visit` returns true; false when a visit did.
    template <class Visit>
    bool for_each(Visit&& visit) const {
        for (const auto& [key, value] : entries_) {
            if (!visit(std::string_view(key), value.get())) return false;
        }
        return true;
    }

private:
    using Entries = std::unordered_map<std::string, PyRef, KeyedTextHash, std::equal_to<>>;

    Entries entries_;
};

// set_attribute, get_attribute and get_all_attributes of a class whose
// payload P has an `attributes` member.
template <class P>
void set_attribute(P& self, std::string key, PyRef value) {
    self.attributes.set(std::move(key), std::move(value));
}

template <class P>
PyRef get_attribute(const P& self, std::string key) {
    return self.attributes.get(key);
}

template <class P>
Made get_all_attributes(const P& self) {
    return Made{self.attributes.to_dict()};
}

}  // namespace velmarin::binding
