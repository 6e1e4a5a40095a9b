// The polygon overlay adapter on any rings (NaN, infinite and huge
// coordinates included), directly and through the extruded join that
// Python reaches it by. Every ring it returns is closed, and the measures
// of any region are computed without fault.
#include <cstddef>
#include <cstdint>

#include "core/fault.hpp"
#include "decode.hpp"
#include "extrusion/join.hpp"

using namespace velmarin;

namespace {

bool is_closed(const Ring& ring) {
    return !ring.empty() && fuzz::same(ring.front().x, ring.back().x) && fuzz::same(ring.front().y, ring.back().y);
}

// Any region can be measured, open rings included.
void measure(const MultiPolygon2D& region) {
    (void)unsigned_area(region);
    (void)area_centroid(region);
}

void check_result(const MultiPolygon2D& region) {
    for (const Polygon2D& polygon : region) {
        check(is_closed(polygon.exterior), "the overlay returned an open outer ring");
        for (const Ring& hole : polygon.holes) check(is_closed(hole), "the overlay returned an open hole");
    }
    measure(region);
}

void overlay(fuzz::Bytes& bytes) {
    const auto op = static_cast<BooleanOp>(bytes.count(3));
    MultiPolygon2D subject(bytes.count(3));
    for (Polygon2D& p : subject) p = bytes.polygon();
    const Polygon2D clip = bytes.polygon();
    measure(subject);
    check_result(polygon_boolean(subject, clip, op));
    if (!subject.empty()) check_result(polygon_boolean(subject.front(), clip, op));
}

void join(fuzz::Bytes& bytes) {
    const double z_base = bytes.coordinate();
    const double height = bytes.coordinate();
    const Mesh a = bytes.mesh(fuzz::Faces::Valid);
    const Mesh b = bytes.mesh(fuzz::Faces::Valid);
    for (const Mesh& prism : boolean_join_extruded(a, b, z_base, height)) {
        check(validate(prism).ok(), "the join made an invalid prism");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Bytes bytes(data, size);
    if (bytes.byte() % 2 == 0) {
        overlay(bytes);
    } else {
        join(bytes);
    }
    return 0;
}
