// Slicing a valid mesh by any plane: a value error for a normal too short
// to have a direction, otherwise two valid triangle meshes.
#include <cstddef>
#include <cstdint>

#include "core/fault.hpp"
#include "decode.hpp"
#include "geometry/slice.hpp"

using namespace velmarin;

namespace {

void check_half(const Mesh& half) {
    check(validate(half).ok(), "a slice made an invalid mesh");
    for (const auto& face : half.faces) check(face.size() == 3, "a slice made a face that is not a triangle");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Bytes bytes(data, size);
    const Vector3D normal = bytes.point();
    const Vector3D origin = bytes.point();
    const Mesh mesh = bytes.mesh(fuzz::Faces::Valid, {.vertices = 24, .faces = 12, .corners = 6});
    const Result<SlicedMesh> sliced = slice_by_plane(mesh, normal, origin);
    if (!sliced.ok()) {
        check(sliced.error().kind == ErrorKind::Value, "slice failed with other than a value error");
        return 0;
    }
    check_half(sliced.value().above);
    check_half(sliced.value().below);
    return 0;
}
