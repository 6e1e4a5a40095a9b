// The aperture index's reach against the literal aperture step: aperture
// faces at the edge of what the plane tests let through (a gap of nearly the
// tolerance, the far side of a wall, a tilt near the angle limit far from the
// origin, a warped contact face, a vertex so far out that its distance
// overflows) must be cut by the index wherever the literal step cuts them.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "planar/rectangle.hpp"
#include "registry/aperture_index.hpp"
#include "registry/face_index.hpp"
#include "registry/face_projection.hpp"
#include "registry/literal_apertures.hpp"

using namespace velmarin;

namespace {

constexpr double tolerance = 0.01;
// Areas that the overlay's rounding leaves as good as zero, and how far two
// cuts of one region by different sets of faces may differ by it.
constexpr double rounding = 1e-6;

Mesh mesh_of(std::vector<Vector3D> vertices, std::initializer_list<std::initializer_list<std::uint64_t>> faces) {
    Mesh mesh{std::move(vertices), {}};
    for (const auto& face : faces) mesh.faces.push_back(face);
    return mesh;
}

// Faces outward: bottom, top, south, north, west, east.
Mesh box(const Vector3D& lo, const Vector3D& hi) {
    std::vector<Vector3D> corners;
    for (double z : {lo.z, hi.z}) {
        for (double y : {lo.y, hi.y}) {
            for (double x : {lo.x, hi.x}) corners.push_back({x, y, z});
        }
    }
    return mesh_of(corners, {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}});
}

const Mesh room = box({10, 0, 0}, {14, 4, 3});
constexpr std::size_t top = 1, east_wall = 5;

// A quad over the fractions [u0, u1] x [v0, v1] of the extent of face f
// of `on` in its own frame, moved `gap` along the face's normal.
Mesh quad_on(const Mesh& on, std::size_t f, double u0, double v0, double u1, double v1, double gap) {
    const FacePlane plane = face_plane(on, f);
    const PlaneFrame frame = plane_frame(plane.normal, on.vertices[on.faces[f][0]]);
    const Rectangle2D extent = rectangle_of(project(on, on.faces[f], frame));
    auto at = [&](double u, double v) {
        const Vector3D q = in_space(frame, {extent.min_x + u * (extent.max_x - extent.min_x),
                                            extent.min_y + v * (extent.max_y - extent.min_y)});
        return Vector3D{q.x + gap * plane.normal.x, q.y + gap * plane.normal.y, q.z + gap * plane.normal.z};
    };
    return mesh_of({at(u0, v0), at(u1, v0), at(u1, v1), at(u0, v1)}, {{0, 1, 2, 3}});
}

// A quad over y in [1, 3] and z in [0.5, 2] in the plane
// x cos(angle) + y sin(angle) = 14: at the east wall's offset, so that it
// passes the plane tests against the wall while the angle is small enough,
// yet where it lies, many tolerances off the wall.
Mesh tilted_quad(double angle) {
    auto at = [&](double y, double z) { return Vector3D{(14.0 - y * std::sin(angle)) / std::cos(angle), y, z}; };
    return mesh_of({at(1, 0.5), at(3, 0.5), at(3, 2), at(1, 2)}, {{0, 1, 2, 3}});
}

// The room with a corner of its top face (and east wall) raised by five
// tolerances, so that the faces' vertices stray from their planes.
Mesh warped_room() {
    Mesh warped = room;
    warped.vertices[7].z += 5 * tolerance;
    return warped;
}

struct ApertureCase {
    std::string name;
    Mesh room;
    double depth;  // of every contact face
    std::vector<Mesh> apertures;
};

std::vector<ApertureCase> cases() {
    const double gap = 0.999 * tolerance, beyond = 1.001 * tolerance;
    const Mesh warped = warped_room();
    // In the plane of the face and the other way round: the index cuts
    // such a door once, the literal step twice.
    const Mesh door = box({14 - tolerance / 2, 1, 0}, {14 + tolerance / 2, 2, 2.1});
    return {
        {"DoorInTheWall", room, 0.0, {door}},
        {"NearlyTheToleranceAway",
         room,
         0.0,
         {quad_on(room, east_wall, 0.1, 0.1, 0.4, 0.4, gap), quad_on(room, east_wall, 0.6, 0.1, 0.9, 0.4, -gap),
          quad_on(room, east_wall, 0.1, 0.6, 0.4, 0.9, beyond)}},
        {"AcrossAWall",
         room,
         0.2,
         {box({14, 1, 0}, {14.2, 2, 2.1}), quad_on(room, east_wall, 0.6, 0.6, 0.9, 0.9, 0.2 + gap),
          quad_on(room, east_wall, 0.6, 0.1, 0.9, 0.4, 0.2 + beyond)}},
        {"BehindAWall", room, -0.2, {quad_on(room, east_wall, 0.6, 0.1, 0.9, 0.4, -0.2 - gap)}},
        {"TiltedFarFromTheOrigin", room, 0.0, {tilted_quad(0.1), tilted_quad(-0.14)}},
        {"TiltedBeyondTheAngle", room, 0.0, {tilted_quad(0.15)}},
        {"WarpedContactFace",
         warped,
         0.0,
         {quad_on(warped, top, -0.05, -0.05, 0.3, 0.3, gap), quad_on(warped, top, 0.7, -0.05, 1.05, 0.3, gap),
          quad_on(warped, top, -0.05, 0.7, 0.3, 1.05, gap), quad_on(warped, top, 0.7, 0.7, 1.05, 1.05, gap)}},
        // Its distance from the origin squared overflows; the faces it
        // tilts nothing against must still reach the door.
        {"VertexBeyondTheSquareRoot",
         room,
         0.0,
         {door, mesh_of({{1e155, 0, 0}, {1e155, 1, 0}, {1e155, 1, 1}, {1e155, 0, 1}}, {{0, 1, 2, 3}})}},
    };
}

// The area a cut leaves, and what each aperture took that is more than
// the overlay's rounding.
struct Outcome {
    double area;
    std::vector<ApertureTake> takes;
};

Outcome outcome(const ApertureCut& apertures, const MultiPolygon2D& region, const ContactFace& face) {
    std::vector<ApertureTake> takes;
    const std::optional<MultiPolygon2D> left = apertures.cut(region, face, &takes);
    std::erase_if(takes, [](const ApertureTake& take) { return std::fabs(take.area) <= rounding; });
    return {unsigned_area(left ? *left : region), takes};
}

void expect_same(const Outcome& index, const Outcome& literal, const std::string& where) {
    EXPECT_NEAR(index.area, literal.area, rounding) << where;
    ASSERT_EQ(index.takes.size(), literal.takes.size()) << where;
    for (std::size_t k = 0; k < literal.takes.size(); ++k) {
        EXPECT_EQ(index.takes[k].aperture, literal.takes[k].aperture) << where;
        EXPECT_NEAR(index.takes[k].area, literal.takes[k].area, rounding) << where;
    }
}

void PrintTo(const ApertureCase& c, std::ostream* out) { *out << c.name; }

class ApertureReach : public testing::TestWithParam<ApertureCase> {};

// Every face of the room as a contact face, its whole outline the region;
// the index asked afresh for each, and through the room's kept apertures
// as a build asks it.
TEST_P(ApertureReach, IndexCutsWhatTheLiteralStepCuts) {
    const ApertureCase& c = GetParam();
    const ApertureIndex index(c.apertures, tolerance);
    const LiteralApertures literal(c.apertures, tolerance);
    // The kept apertures know a face by where its plane is kept.
    const std::vector<FacePlane> planes = face_planes({c.room}).front();
    NearApertures near;
    bool cut = false;
    for (std::size_t f = 0; f < c.room.faces.size(); ++f) {
        const Face face = c.room.faces[f];
        const FacePlane& plane = planes[f];
        const PlaneFrame frame = plane_frame(plane.normal, c.room.vertices[face[0]]);
        const Bounds box = face_box(c.room, f, tolerance);
        const MultiPolygon2D region = {project(c.room, face, frame)};
        const Outcome expected = outcome(literal, region, {c.room, face, plane, frame, box, c.depth, nullptr});
        const std::string where = "face " + std::to_string(f);
        expect_same(outcome(index, region, {c.room, face, plane, frame, box, c.depth, nullptr}), expected, where);
        expect_same(outcome(index, region, {c.room, face, plane, frame, box, c.depth, &near}), expected,
                    where + " with the room's kept apertures");
        cut = cut || !expected.takes.empty();
    }
    // Each case but one cuts something, or it would test nothing.
    EXPECT_EQ(cut, c.name != "TiltedBeyondTheAngle");
}

INSTANTIATE_TEST_SUITE_P(EdgesOfTheReach, ApertureReach, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<ApertureCase>& info) { return info.param.name; });

}  // namespace
