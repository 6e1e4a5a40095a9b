#include "registry/face_index.hpp"

#include "core/fault.hpp"

namespace velmarin {

Bounds face_box(const Mesh& mesh, std::size_t face, double tolerance) {
    Bounds box;
    for (std::uint64_t index : checked(mesh.faces, face)) box.add(checked(mesh.vertices, index));
    return box.grown(tolerance);
}

namespace {

std::vector<BoxIndex<FaceRef>::Entry> face_envelopes(const std::vector<Mesh>& meshes, double tolerance) {
    std::size_t count = 0;
    for (const Mesh& mesh : meshes) count += mesh.faces.size();
    std::vector<BoxIndex<FaceRef>::Entry> entries;
    entries.reserve(count);
    for (std::size_t m = 0; m < meshes.size(); ++m) {
        for (std::size_t f = 0; f < meshes[m].faces.size(); ++f) {
            entries.push_back(BoxIndex<FaceRef>::entry(face_box(meshes[m], f, tolerance), {m, f}));
        }
    }
    return entries;
}

}  // namespace

FaceIndex::FaceIndex(const std::vector<Mesh>& meshes, double tolerance)
    : tree_(face_envelopes(meshes, tolerance)) {}

}  // namespace velmarin
