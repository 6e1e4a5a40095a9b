// Faces with holes cut into triangles: whatever the rings' winding, the
// triangles run counter-clockwise, lie inside the outer ring and outside
// every hole, and add up to the face's area, so that they cover it once;
// rings that do not make a face give None.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "planar/hole_triangles.hpp"

using namespace velmarin;

namespace {

using Rings = std::vector<std::vector<Point2D>>;

double twice_area(const Point2D& a, const Point2D& b, const Point2D& c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

double ring_area(const std::vector<Point2D>& ring) {
    double twice = 0.0;
    for (std::size_t k = 0; k < ring.size(); ++k) {
        const Point2D& a = ring[k];
        const Point2D& b = ring[(k + 1) % ring.size()];
        twice += a.x * b.y - b.x * a.y;
    }
    return std::abs(twice) / 2;
}

// Even-odd crossing test; the points asked about are never on an edge.
bool inside(const std::vector<Point2D>& ring, const Point2D& p) {
    bool in = false;
    for (std::size_t k = 0, j = ring.size() - 1; k < ring.size(); j = k++) {
        const Point2D &a = ring[k], &b = ring[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y)) in = !in;
    }
    return in;
}

// The rings as the caller hands them over: points one ring after the
// other, each ring as positions among them.
std::optional<std::vector<Triangle>> cut(const Rings& rings, std::vector<Point2D>& points) {
    std::vector<std::vector<std::size_t>> positions;
    for (const std::vector<Point2D>& ring : rings) {
        positions.emplace_back();
        for (const Point2D& p : ring) {
            positions.back().push_back(points.size());
            points.push_back(p);
        }
    }
    return triangles_with_holes(points, positions);
}

void expect_cover(const Rings& rings, const std::string& name) {
    std::vector<Point2D> points;
    const std::optional<std::vector<Triangle>> triangles = cut(rings, points);
    ASSERT_TRUE(triangles) << name;
    double expected = ring_area(rings[0]);
    for (std::size_t h = 1; h < rings.size(); ++h) expected -= ring_area(rings[h]);
    double area = 0.0;
    for (const Triangle& t : *triangles) {
        const Point2D &a = points[t[0]], &b = points[t[1]], &c = points[t[2]];
        const double twice = twice_area(a, b, c);
        EXPECT_GT(twice, 0.0) << name << ": a triangle runs clockwise or is flat";
        const Point2D centre{(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3};
        EXPECT_TRUE(inside(rings[0], centre)) << name << ": a triangle outside the outer ring";
        for (std::size_t h = 1; h < rings.size(); ++h) {
            EXPECT_FALSE(inside(rings[h], centre)) << name << ": a triangle inside hole " << h;
        }
        area += twice / 2;
    }
    EXPECT_DOUBLE_EQ(area, expected) << name;
}

std::vector<Point2D> reversed(std::vector<Point2D> ring) {
    std::ranges::reverse(ring);
    return ring;
}

std::vector<Point2D> square(double x0, double y0, double x1, double y1) {
    return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

TEST(HoleTriangles, CoverTheFaceInEitherWinding) {
    const std::vector<Point2D> l_shape = {{0, 0}, {4, 0}, {4, 2}, {2, 2}, {2, 4}, {0, 4}};
    const std::vector<std::pair<std::string, Rings>> faces = {
        {"square with a square hole", {square(0, 0, 4, 4), square(1, 1, 3, 3)}},
        {"two holes side by side", {square(0, 0, 6, 3), square(1, 1, 2, 2), square(4, 1, 5, 2)}},
        {"two holes one above the other", {square(0, 0, 3, 6), square(1, 1, 2, 2), square(1, 4, 2, 5)}},
        {"L-shape with a hole", {l_shape, square(0.5, 0.5, 1.5, 1.5)}},
        {"L-shape with a hole in its upper arm", {l_shape, square(0.5, 2.5, 1.5, 3.5)}},
        {"L-shape, no hole", {l_shape}},
        {"triangular hole", {square(0, 0, 4, 4), {{1, 1}, {3, 1}, {2, 3}}}},
    };
    for (const auto& [name, rings] : faces) {
        for (const bool flip_outer : {false, true}) {
            for (const bool flip_holes : {false, true}) {
                Rings given = rings;
                if (flip_outer) given[0] = reversed(given[0]);
                for (std::size_t h = 1; h < given.size() && flip_holes; ++h) given[h] = reversed(given[h]);
                expect_cover(given, name + (flip_outer ? ", outer turned" : "") + (flip_holes ? ", holes turned" : ""));
            }
        }
    }
}

TEST(HoleTriangles, NoneForRingsThatMakeNoFace) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::pair<std::string, Rings>> faces = {
        {"no ring", {}},
        {"an outer ring of two corners", {{{0, 0}, {1, 0}}}},
        {"a hole of two corners", {square(0, 0, 4, 4), {{1, 1}, {2, 2}}}},
        {"a hole reaching outside", {square(0, 0, 4, 4), square(3, 1, 5, 2)}},
        {"a hole wholly outside", {square(0, 0, 4, 4), square(5, 1, 6, 2)}},
        {"holes overlapping", {square(0, 0, 6, 6), square(1, 1, 3, 3), square(2, 2, 4, 4)}},
        {"a hole as large as the face", {square(0, 0, 4, 4), square(0, 0, 4, 4)}},
        {"a corner not a number", {square(0, 0, 4, 4), {{1, 1}, {2, nan}, {2, 2}}}},
        {"a flat outer ring", {{{0, 0}, {1, 0}, {2, 0}}}},
    };
    for (const auto& [name, rings] : faces) {
        std::vector<Point2D> points;
        EXPECT_FALSE(cut(rings, points)) << name;
    }
    const std::vector<Point2D> points = square(0, 0, 1, 1);
    const std::vector<std::vector<std::size_t>> past_the_points = {{0, 1, 4}};
    EXPECT_FALSE(triangles_with_holes(points, past_the_points));
}

}  // namespace
