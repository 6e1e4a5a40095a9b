// The geometry classes as the rest of the binding sees them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "binding/convert.hpp"
#include "binding/record.hpp"
#include "geometry/mesh.hpp"
#include "geometry/vector.hpp"

namespace velmarin::binding {

template <>
const ClassDef& class_def<Vector3D>();
template <>
const ClassDef& class_def<Wire>();
template <>
const ClassDef& class_def<Mesh>();

template <>
struct Converter<Vector3D> : RecordConverter<Vector3D> {};
template <>
struct Converter<Wire> : RecordConverter<Wire> {};
template <>
struct Converter<Mesh> : RecordConverter<Mesh> {};

// Faces as Python holds them: a sequence of index sequences, each face
// read into one reused buffer and appended to the mesh's runs.
// `load_index(item, face_number, index)` reads one index.
template <class LoadIndex>
bool load_faces(PyObject* object, FaceList& out, LoadIndex&& load_index) {
    if (!check_list_argument(object)) return false;
    out = FaceList();
    const std::size_t hint = reported_length(object);
    out.reserve(hint, 3 * hint);
    std::vector<std::uint64_t> corners;
    return for_each_item(object, [&](PyObject* face) {
        const std::size_t number = out.size();
        auto load_corner = [&](PyObject* item, std::uint64_t& index) { return load_index(item, number, index); };
        if (!load_items(face, corners, load_corner)) return false;
        out.push_back(corners);
        return true;
    });
}

template <>
struct Converter<FaceList> {
    static bool load(PyObject* object, FaceList& out) {
        return load_faces(object, out, [](PyObject* item, std::size_t, std::uint64_t& index) {
            return Converter<std::uint64_t>::load(item, index);
        });
    }

    static PyObject* cast(const FaceList& faces) {
        PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(faces.size())));
        if (!list) return nullptr;
        for (std::size_t f = 0; f < faces.size(); ++f) {
            const Face face = faces[f];
            PyRef corners = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(face.size())));
            if (!corners) return nullptr;
            for (std::size_t k = 0; k < face.size(); ++k) {
                PyObject* index = Converter<std::uint64_t>::cast(face[k]);
                if (!index) return nullptr;
                PyList_SetItem(corners.get(), static_cast<Py_ssize_t>(k), index);
            }
            PyList_SetItem(list.get(), static_cast<Py_ssize_t>(f), corners.release());
        }
        return list.release();
    }
};

}  // namespace velmarin::binding
