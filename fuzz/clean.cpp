// Welding any mesh at any tolerance: an index error for a face past the
// vertex list, otherwise a valid mesh no larger than the input.
#include <cstddef>
#include <cstdint>

#include "core/fault.hpp"
#include "decode.hpp"
#include "geometry/clean.hpp"

using namespace velmarin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Bytes bytes(data, size);
    const double tolerance = bytes.tolerance();
    const Mesh mesh = bytes.mesh(fuzz::Faces::Any, {.vertices = 24, .faces = 12, .corners = 8});
    const Result<Mesh> welded = clean_mesh(mesh, tolerance);
    if (!welded.ok()) {
        check(welded.error().kind == ErrorKind::Index, "clean failed with other than an index error");
        return 0;
    }
    check(validate(welded.value()).ok(), "clean made an invalid mesh");
    check(welded.value().vertices.size() <= mesh.vertices.size(), "clean added vertices");
    check(welded.value().faces.size() <= mesh.faces.size(), "clean added faces");
    return 0;
}
