// Direct checks of the polygon layer, below what the join reaches from Python.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "core/fault.hpp"
#include "planar/overlay.hpp"

using namespace velmarin;

namespace {

int failures = 0;

void expect(bool holds, const char* what, int line) {
    if (!holds) {
        std::fprintf(stderr, "line %d: %s\n", line, what);
        ++failures;
    }
}
#define EXPECT(c) expect((c), #c, __LINE__)

bool near(double a, double b, double eps = 1e-9) { return std::fabs(a - b) <= eps; }

Polygon2D rect(double x0, double y0, double x1, double y1) {
    return {{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}}, {}};
}

Polygon2D reversed(Polygon2D p) {
    std::reverse(p.exterior.begin(), p.exterior.end());
    return p;
}

bool closed(const Ring& r) { return r.size() >= 4 && r.front().x == r.back().x && r.front().y == r.back().y; }

using Corners = std::vector<std::uint64_t>;

void projection() {
    const std::vector<Vector3D> v = {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}};
    const Polygon2D p = project_face(v, Corners{0, 1, 2, 3}, {1, 0, 0}, {0, 0, 1}, {0, -1, 0});
    const Ring expected = {{0, 0}, {0, -1}, {1, -1}, {1, 0}, {0, 0}};
    EXPECT(p.holes.empty());
    EXPECT(p.exterior.size() == expected.size());
    for (std::size_t i = 0; i < expected.size() && i < p.exterior.size(); ++i) {
        EXPECT(p.exterior[i].x == expected[i].x && p.exterior[i].y == expected[i].y);
    }
    // Already closed by the face itself: no second closing point.
    EXPECT(project_face(v, Corners{0, 1, 2, 0}, {0, 0, 0}, {0, 1, 0}, {0, 0, 1}).exterior.size() == 4);
    EXPECT(project_face(v, Corners{}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}).exterior.empty());
    bool faulted = false;
    try {
        (void)project_face(v, Corners{0, 1, 4}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    } catch (const InternalFault&) {
        faulted = true;
    }
    EXPECT(faulted);
}

void measures() {
    EXPECT(ring_signed_area(rect(0, 0, 2, 3).exterior) == 6.0);
    EXPECT(ring_signed_area(reversed(rect(0, 0, 2, 3)).exterior) == -6.0);
    Ring open = rect(0, 0, 2, 3).exterior;
    open.pop_back();
    EXPECT(ring_signed_area(open) == 0.0);
    EXPECT(unsigned_area({}) == 0.0);
    Polygon2D framed = reversed(rect(0, 0, 4, 4));
    framed.holes.push_back(rect(1, 1, 2, 2).exterior);
    EXPECT(polygon_signed_area(framed) == -15.0);
    EXPECT(unsigned_area({framed, rect(10, 10, 11, 11)}) == 16.0);
    // An L of two unit-area squares and one more: centroid of three squares.
    const Point2D c = area_centroid({rect(0, 0, 2, 1), rect(0, 1, 1, 2)});
    EXPECT(near(c.x, 5.0 / 6.0) && near(c.y, 5.0 / 6.0));
    // A polygon whose hole cancels it does not pull the centroid.
    Polygon2D cancelled = rect(50, 50, 51, 51);
    cancelled.holes.push_back(rect(50, 50, 51, 51).exterior);
    const Point2D d = area_centroid({cancelled, rect(0, 0, 2, 2)});
    EXPECT(near(d.x, 1.0) && near(d.y, 1.0));
    EXPECT(std::isnan(area_centroid({}).x));
}

void booleans() {
    const Polygon2D unit = rect(0, 0, 1, 1);
    const MultiPolygon2D edge_only = polygon_boolean(unit, rect(1, 0, 2, 1), BooleanOp::Intersection);
    EXPECT(unsigned_area(edge_only) == 0.0);

    const MultiPolygon2D self = polygon_boolean(unit, reversed(unit), BooleanOp::Intersection);
    EXPECT(self.size() == 1 && near(unsigned_area(self), 1.0));

    const MultiPolygon2D framed = polygon_boolean(unit, rect(0.25, 0.25, 0.75, 0.75), BooleanOp::Difference);
    EXPECT(framed.size() == 1);
    if (framed.size() == 1) {
        EXPECT(framed[0].holes.size() == 1);
        EXPECT(closed(framed[0].exterior));
        for (const Ring& h : framed[0].holes) {
            EXPECT(closed(h));
            EXPECT(ring_signed_area(h) < 0.0);
        }
        EXPECT(ring_signed_area(framed[0].exterior) > 0.0);
    }
    EXPECT(near(unsigned_area(framed), 0.75));
    const Point2D c = area_centroid(framed);
    EXPECT(near(c.x, 0.5) && near(c.y, 0.5));

    // Clockwise input still gives counter-clockwise outer rings.
    const MultiPolygon2D u = polygon_boolean(reversed(unit), reversed(rect(0.5, 0, 1.5, 1)), BooleanOp::Union);
    EXPECT(u.size() == 1 && near(unsigned_area(u), 1.5) && ring_signed_area(u[0].exterior) > 0.0);
    EXPECT(near(unsigned_area(polygon_boolean(unit, rect(0.5, 0, 1.5, 1), BooleanOp::Xor)), 1.0));

    // Even-odd within one set: a ring inside another of the same polygon is a hole.
    Polygon2D with_hole_ring = rect(0, 0, 4, 4);
    with_hole_ring.holes.push_back(rect(1, 1, 3, 3).exterior);
    EXPECT(near(unsigned_area(polygon_boolean(with_hole_ring, rect(0, 0, 4, 4), BooleanOp::Intersection)), 12.0));

    // An island inside a hole comes back as a polygon of its own.
    MultiPolygon2D nested = {with_hole_ring, rect(1.5, 1.5, 2.5, 2.5)};
    const MultiPolygon2D islands = polygon_boolean(nested, rect(10, 10, 11, 11), BooleanOp::Union);
    EXPECT(islands.size() == 3);
    std::size_t holes = 0;
    for (const Polygon2D& p : islands) holes += p.holes.size();
    EXPECT(holes == 1);
    EXPECT(near(unsigned_area(islands), 12.0 + 1.0 + 1.0));

    // Nothing in, nothing out.
    EXPECT(polygon_boolean(Polygon2D{}, Polygon2D{}, BooleanOp::Union).empty());
    EXPECT(polygon_boolean(MultiPolygon2D{}, unit, BooleanOp::Intersection).empty());
    EXPECT(near(unsigned_area(polygon_boolean(MultiPolygon2D{}, unit, BooleanOp::Union)), 1.0));
}

void grid() {
    // Far from the origin the common grid keeps the result exact to ~2^-29
    // of the extent.
    const double o = 1e7;
    const MultiPolygon2D r = polygon_boolean(rect(o, o, o + 3, o + 2), rect(o + 1, o + 1, o + 5, o + 7),
                                             BooleanOp::Intersection);
    EXPECT(r.size() == 1 && near(unsigned_area(r), 2.0, 1e-6));
    // Tiny operands are scaled up, not rounded away.
    const double t = 1e-9;
    EXPECT(near(unsigned_area(polygon_boolean(rect(0, 0, 2 * t, 2 * t), rect(t, t, 3 * t, 3 * t),
                                              BooleanOp::Intersection)),
                t * t, 1e-24));
    // All points equal: scale 1, no area.
    EXPECT(unsigned_area(polygon_boolean(rect(5, 5, 5, 5), rect(5, 5, 5, 5), BooleanOp::Union)) == 0.0);
    // Non-finite coordinates must not misbehave, whatever comes back.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    (void)polygon_boolean(rect(0, 0, nan, 1), rect(0, 0, 1, 1), BooleanOp::Intersection);
    (void)polygon_boolean(rect(0, 0, inf, 1), rect(-inf, 0, 1, 1), BooleanOp::Union);
    (void)polygon_boolean(rect(0, 0, 1e308, 1e308), rect(-1e308, -1e308, 1, 1), BooleanOp::Xor);
    (void)polygon_boolean(rect(0, 0, 5e-324, 5e-324), rect(0, 0, 1e-323, 1e-323), BooleanOp::Xor);
}

}  // namespace

int main() {
    projection();
    measures();
    booleans();
    grid();
    if (failures) std::fprintf(stderr, "%d overlay check(s) failed\n", failures);
    return failures ? 1 : 0;
}
