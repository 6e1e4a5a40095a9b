#include "registry/face_index.hpp"

#include "core/fault.hpp"

namespace velmarin {

Bounds face_box(const Mesh& mesh, std::size_t face, double tolerance) {
    Bounds box;
    for (std::uint64_t index : checked(mesh.faces, face)) box.add(checked(mesh.vertices, index));
    return box.grown(tolerance);
}

namespace {

std::vector<FaceRef> all_faces(const std::vector<Mesh>& meshes) {
    std::size_t count = 0;
    for (const Mesh& mesh : meshes) count += mesh.faces.size();
    std::vector<FaceRef> refs;
    refs.reserve(count);
    for (std::size_t m = 0; m < meshes.size(); ++m) {
        for (std::size_t f = 0; f < meshes[m].faces.size(); ++f) refs.push_back({m, f});
    }
    return refs;
}

std::vector<BoxIndex::Entry> face_envelopes(const std::vector<Mesh>& meshes, const std::vector<FaceRef>& refs,
                                            double tolerance) {
    std::vector<BoxIndex::Entry> entries;
    entries.reserve(refs.size());
    for (std::size_t k = 0; k < refs.size(); ++k) {
        entries.push_back({face_box(meshes[refs[k].mesh], refs[k].face, tolerance), k});
    }
    return entries;
}

}  // namespace

FaceIndex::FaceIndex(const std::vector<Mesh>& meshes, double tolerance)
    : refs_(all_faces(meshes)), tree_(face_envelopes(meshes, refs_, tolerance)) {}

}  // namespace velmarin
