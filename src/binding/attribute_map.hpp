// The free metadata of graph nodes and edges: text keys to the very Python
// objects that were stored, and the three methods both classes offer on it.
//
// A build may store a list of ints as positions that become the list when
// the entry is first read (and stay that very list after). Lists are tracked
// by the cyclic collector: the hundreds of thousands that a large build
// would make at once set off its full passes over every object of the
// process, which took longer than the build itself in a process holding a
// few million objects.
//
// Keys are compared by their UTF-8 bytes. The table hashes them with a key
// of its own (KeyedTextHash), so no enumeration order can be relied on and
// chosen keys cannot be made to collide.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

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

    // The same for a list of ints, made when the entry is first read.
    void set_positions(std::string key, std::vector<std::uint64_t> positions);

    // The stored object with a new reference; empty when the key is absent,
    // and empty with the error set when its list could not be made.
    PyRef get(std::string_view key) const;

    // A new dict of all entries; empty with the error set on failure.
    PyRef to_dict() const;

    // The same with each value as `value_of(value)` makes it (a new
    // reference, or empty with the error set, which ends the walk).
    template <class ValueOf>
    PyRef to_dict(ValueOf&& value_of) const {
        PyRef dict = PyRef::steal(PyDict_New());
        if (!dict) return {};
        for (auto& [key, slot] : entries_) {
            PyObject* value = object_of(slot);
            PyRef text = value ? text_object(key) : PyRef();
            PyRef made = text ? value_of(value) : PyRef();
            if (!made || PyDict_SetItem(dict.get(), text.get(), made.get()) != 0) return {};
        }
        return dict;
    }

    // Visits the entries in the map's own order, (key, borrowed value),
    // while `visit` returns true; false when a visit did, or with the error
    // set when a list could not be made.
    template <class Visit>
    bool for_each(Visit&& visit) const {
        for (auto& [key, slot] : entries_) {
            PyObject* value = object_of(slot);
            if (!value || !visit(std::string_view(key), value)) return false;
        }
        return true;
    }

private:
    // A stored object, or positions while the list is not made. Making it
    // changes no more than the slot, so a walk of the map may go on.
    struct Slot {
        PyRef object;
        std::vector<std::uint64_t> positions;
    };

    // The slot's object, its list made first if need be; nullptr with the
    // error set when that failed (the positions are kept).
    static PyObject* object_of(Slot& slot);

    using Entries = std::unordered_map<std::string, Slot, KeyedTextHash, std::equal_to<>>;

    mutable Entries entries_;  // a read may make a slot's list
};

// set_attribute, get_attribute and get_all_attributes of a class whose
// payload P has an `attributes` member.
template <class P>
void set_attribute(P& self, std::string key, PyRef value) {
    self.attributes.set(std::move(key), std::move(value));
}

template <class P>
Made get_attribute(const P& self, std::string key) {
    PyRef value = self.attributes.get(key);
    if (!value && !PyErr_Occurred()) value = PyRef::borrow(Py_None);
    return Made{std::move(value)};
}

template <class P>
Made get_all_attributes(const P& self) {
    return Made{self.attributes.to_dict()};
}

}  // namespace velmarin::binding
