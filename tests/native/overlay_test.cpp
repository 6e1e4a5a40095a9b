// Direct checks of the polygon layer, below what the join reaches from Python.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/fault.hpp"
#include "planar/overlay.hpp"

using namespace velmarin;

namespace {

Polygon2D rect(double x0, double y0, double x1, double y1) {
    return {{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}}, {}};
}

Polygon2D reversed(Polygon2D p) {
    std::reverse(p.exterior.begin(), p.exterior.end());
    return p;
}

bool closed(const Ring& r) { return r.size() >= 4 && r.front().x == r.back().x && r.front().y == r.back().y; }

bool same_point(const Point2D& p, const Point2D& q) { return p.x == q.x && p.y == q.y; }

bool same_ring(const Ring& r, const Ring& s) {
    return r.size() == s.size() && std::equal(r.begin(), r.end(), s.begin(), same_point);
}

using Corners = std::vector<std::uint64_t>;

TEST(Overlay, Projection) {
    const std::vector<Vector3D> v = {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}};
    const Polygon2D p = project_face(v, Corners{0, 1, 2, 3}, {1, 0, 0}, {0, 0, 1}, {0, -1, 0});
    EXPECT_TRUE(p.holes.empty());
    EXPECT_TRUE(same_ring(p.exterior, {{0, 0}, {0, -1}, {1, -1}, {1, 0}, {0, 0}}));
    // Already closed by the face itself: no second closing point.
    EXPECT_EQ(project_face(v, Corners{0, 1, 2, 0}, {0, 0, 0}, {0, 1, 0}, {0, 0, 1}).exterior.size(), 4u);
    EXPECT_TRUE(project_face(v, Corners{}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}).exterior.empty());
    EXPECT_THROW((void)project_face(v, Corners{0, 1, 4}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}), InternalFault);
}

TEST(Overlay, Measures) {
    EXPECT_EQ(ring_signed_area(rect(0, 0, 2, 3).exterior), 6.0);
    EXPECT_EQ(ring_signed_area(reversed(rect(0, 0, 2, 3)).exterior), -6.0);
    Ring open = rect(0, 0, 2, 3).exterior;
    open.pop_back();
    EXPECT_EQ(ring_signed_area(open), 0.0);
    EXPECT_EQ(unsigned_area({}), 0.0);
    Polygon2D framed = reversed(rect(0, 0, 4, 4));
    framed.holes.push_back(rect(1, 1, 2, 2).exterior);
    EXPECT_EQ(polygon_signed_area(framed), -15.0);
    EXPECT_EQ(unsigned_area({framed, rect(10, 10, 11, 11)}), 16.0);
    // An L of two unit-area squares and one more: centroid of three squares.
    const Point2D c = area_centroid({rect(0, 0, 2, 1), rect(0, 1, 1, 2)});
    EXPECT_NEAR(c.x, 5.0 / 6.0, 1e-9);
    EXPECT_NEAR(c.y, 5.0 / 6.0, 1e-9);
    // A polygon whose hole cancels it does not pull the centroid.
    Polygon2D cancelled = rect(50, 50, 51, 51);
    cancelled.holes.push_back(rect(50, 50, 51, 51).exterior);
    const Point2D d = area_centroid({cancelled, rect(0, 0, 2, 2)});
    EXPECT_NEAR(d.x, 1.0, 1e-9);
    EXPECT_NEAR(d.y, 1.0, 1e-9);
    EXPECT_TRUE(std::isnan(area_centroid({}).x));
}

TEST(Overlay, Booleans) {
    const Polygon2D unit = rect(0, 0, 1, 1);
    const MultiPolygon2D edge_only = polygon_boolean(unit, rect(1, 0, 2, 1), BooleanOp::Intersection);
    EXPECT_EQ(unsigned_area(edge_only), 0.0);

    const MultiPolygon2D self = polygon_boolean(unit, reversed(unit), BooleanOp::Intersection);
    EXPECT_EQ(self.size(), 1u);
    EXPECT_NEAR(unsigned_area(self), 1.0, 1e-9);

    const MultiPolygon2D framed = polygon_boolean(unit, rect(0.25, 0.25, 0.75, 0.75), BooleanOp::Difference);
    ASSERT_EQ(framed.size(), 1u);
    ASSERT_EQ(framed[0].holes.size(), 1u);
    EXPECT_TRUE(closed(framed[0].exterior));
    EXPECT_TRUE(closed(framed[0].holes[0]));
    EXPECT_LT(ring_signed_area(framed[0].holes[0]), 0.0);
    EXPECT_GT(ring_signed_area(framed[0].exterior), 0.0);
    EXPECT_NEAR(unsigned_area(framed), 0.75, 1e-9);
    const Point2D c = area_centroid(framed);
    EXPECT_NEAR(c.x, 0.5, 1e-9);
    EXPECT_NEAR(c.y, 0.5, 1e-9);

    // Clockwise input still gives counter-clockwise outer rings.
    const MultiPolygon2D u = polygon_boolean(reversed(unit), reversed(rect(0.5, 0, 1.5, 1)), BooleanOp::Union);
    ASSERT_EQ(u.size(), 1u);
    EXPECT_NEAR(unsigned_area(u), 1.5, 1e-9);
    EXPECT_GT(ring_signed_area(u[0].exterior), 0.0);
    EXPECT_NEAR(unsigned_area(polygon_boolean(unit, rect(0.5, 0, 1.5, 1), BooleanOp::Xor)), 1.0, 1e-9);

    // Even-odd within one set: a ring inside another of the same polygon is a hole.
    Polygon2D with_hole_ring = rect(0, 0, 4, 4);
    with_hole_ring.holes.push_back(rect(1, 1, 3, 3).exterior);
    EXPECT_NEAR(unsigned_area(polygon_boolean(with_hole_ring, rect(0, 0, 4, 4), BooleanOp::Intersection)), 12.0, 1e-9);

    // An island inside a hole comes back as a polygon of its own.
    MultiPolygon2D nested = {with_hole_ring, rect(1.5, 1.5, 2.5, 2.5)};
    const MultiPolygon2D islands = polygon_boolean(nested, rect(10, 10, 11, 11), BooleanOp::Union);
    EXPECT_EQ(islands.size(), 3u);
    std::size_t holes = 0;
    for (const Polygon2D& p : islands) holes += p.holes.size();
    EXPECT_EQ(holes, 1u);
    EXPECT_NEAR(unsigned_area(islands), 12.0 + 1.0 + 1.0, 1e-9);

    // Nothing in, nothing out.
    EXPECT_TRUE(polygon_boolean(Polygon2D{}, Polygon2D{}, BooleanOp::Union).empty());
    EXPECT_TRUE(polygon_boolean(MultiPolygon2D{}, unit, BooleanOp::Intersection).empty());
    EXPECT_NEAR(unsigned_area(polygon_boolean(MultiPolygon2D{}, unit, BooleanOp::Union)), 1.0, 1e-9);
}

// A ring through the corners of [x0, x1] x [y0, y1], from corner `start` on,
// either way round; with `extra`, a further point halfway along its first
// side, which leaves the region as it is.
Polygon2D rect_ring(double x0, double y0, double x1, double y1, int start, bool backwards, bool extra) {
    const Point2D corners[4] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    Ring ring;
    for (int k = 0; k < 4; ++k) {
        ring.push_back(corners[backwards ? (start + 4 - k) % 4 : (start + k) % 4]);
        if (extra && k == 1) {
            const Point2D a = ring[0], b = ring[1];
            ring.insert(ring.begin() + 1, {(a.x + b.x) / 2, (a.y + b.y) / 2});
        }
    }
    close_ring(ring);
    return {ring, {}};
}

bool same_region(const MultiPolygon2D& a, const MultiPolygon2D& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](const Polygon2D& p, const Polygon2D& q) {
               return same_ring(p.exterior, q.exterior) && p.holes.size() == q.holes.size() &&
                      std::equal(p.holes.begin(), p.holes.end(), q.holes.begin(), same_ring);
           });
}

// Two rectangles are combined without the overlay library running; a point
// halfway along a side makes a ring the library must take. Both give the
// same rings, point for point, on corners that share lines and on corners
// that do not, at two scales.
TEST(Overlay, RectanglesWithoutTheLibrary) {
    std::uint64_t state = 12345;
    auto next = [&](std::uint64_t n) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return (state >> 33) % n;
    };
    int agreeing = 0;
    for (int t = 0; t < 10000; ++t) {
        double v[8];
        for (double& x : v)
            x = t % 2 ? static_cast<double>(next(9)) * 0.5 : static_cast<double>(next(1u << 20)) * 1e-5 - 3.0;
        for (int k = 0; k < 8; k += 2) {
            if (v[k] > v[k + 1]) std::swap(v[k], v[k + 1]);
        }
        if (!(v[0] < v[1] && v[2] < v[3] && v[4] < v[5] && v[6] < v[7])) continue;
        const int start = static_cast<int>(next(4)), other_start = static_cast<int>(next(4));
        const bool backwards = next(2), other_backwards = next(2);
        const Polygon2D b = rect_ring(v[4], v[6], v[5], v[7], other_start, other_backwards, false);
        const Polygon2D a = rect_ring(v[0], v[2], v[1], v[3], start, backwards, false);
        const Polygon2D a_extra = rect_ring(v[0], v[2], v[1], v[3], start, backwards, true);
        for (BooleanOp op : {BooleanOp::Intersection, BooleanOp::Union, BooleanOp::Difference, BooleanOp::Xor}) {
            const MultiPolygon2D direct = polygon_boolean(a, b, op);
            EXPECT_TRUE(same_region(direct, polygon_boolean(a_extra, b, op))) << "case " << t;
            EXPECT_TRUE(same_region(polygon_boolean(MultiPolygon2D{b}, a, op), polygon_boolean(b, a_extra, op)))
                << "case " << t;
            agreeing += op == BooleanOp::Difference && direct.size() == 1 && direct[0].exterior.size() > 5;
        }
    }
    EXPECT_GT(agreeing, 1000);
}

TEST(Overlay, Grid) {
    // Far from the origin the common grid keeps the result exact to ~2^-29
    // of the extent.
    const double o = 1e7;
    const MultiPolygon2D r =
        polygon_boolean(rect(o, o, o + 3, o + 2), rect(o + 1, o + 1, o + 5, o + 7), BooleanOp::Intersection);
    EXPECT_EQ(r.size(), 1u);
    EXPECT_NEAR(unsigned_area(r), 2.0, 1e-6);
    // Tiny operands are scaled up, not rounded away.
    const double t = 1e-9;
    EXPECT_NEAR(
        unsigned_area(polygon_boolean(rect(0, 0, 2 * t, 2 * t), rect(t, t, 3 * t, 3 * t), BooleanOp::Intersection)),
        t * t, 1e-24);
    // All points equal: scale 1, no area.
    EXPECT_EQ(unsigned_area(polygon_boolean(rect(5, 5, 5, 5), rect(5, 5, 5, 5), BooleanOp::Union)), 0.0);
    // Non-finite coordinates must not misbehave, whatever comes back.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    (void)polygon_boolean(rect(0, 0, nan, 1), rect(0, 0, 1, 1), BooleanOp::Intersection);
    (void)polygon_boolean(rect(0, 0, inf, 1), rect(-inf, 0, 1, 1), BooleanOp::Union);
    (void)polygon_boolean(rect(0, 0, 1e308, 1e308), rect(-1e308, -1e308, 1, 1), BooleanOp::Xor);
    (void)polygon_boolean(rect(0, 0, 5e-324, 5e-324), rect(0, 0, 1e-323, 1e-323), BooleanOp::Xor);
}

}  // namespace
