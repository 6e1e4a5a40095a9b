// Welding any mesh at any tolerance: an index error for a face past the
// vertex list, otherwise a valid mesh no larger than the input. The quick
// rounding of the weld keys takes every pair of quotients below 2^51 it
// meets and rounds them as round_saturating does.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "core/fault.hpp"
#include "core/rounding.hpp"
#include "decode.hpp"
#include "geometry/clean.hpp"

using namespace velmarin;

namespace {

#if defined(__SSE2__)
void check_quick_rounding(double first, double second) {
    __m128i rounded;
    const bool small = round_small(_mm_set_pd(second, first), rounded);
    check(small == (std::fabs(first) < 0x1p51 && std::fabs(second) < 0x1p51),
          "quick rounding took other pairs than those below 2^51");
    if (!small) return;
    check(_mm_cvtsi128_si64(rounded) == round_saturating(first) &&
              _mm_cvtsi128_si64(_mm_unpackhi_epi64(rounded, rounded)) == round_saturating(second),
          "quick rounding differs from round_saturating");
}
#endif

// The quotients a weld key is made of, paired as welding pairs them.
void check_weld_keys(const Mesh& mesh, double tolerance) {
#if defined(__SSE2__)
    for (const Vector3D& v : mesh.vertices) {
        check_quick_rounding(v.x / tolerance, v.y / tolerance);
        check_quick_rounding(v.z / tolerance, 0.0 / tolerance);
    }
#else
    (void)mesh;
    (void)tolerance;
#endif
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Bytes bytes(data, size);
    const double tolerance = bytes.tolerance();
    const Mesh mesh = bytes.mesh(fuzz::Faces::Any, {.vertices = 24, .faces = 12, .corners = 8});
    check_weld_keys(mesh, tolerance);
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
