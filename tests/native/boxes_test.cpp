// The one convention for an empty box, in 3D and in the plane: inside out at
// the largest finite values, NaN taking no part, and the grown empty box
// spanning nearly all of space.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "boxes/bounds.hpp"
#include "planar/rectangle.hpp"

using namespace velmarin;

namespace {

constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();
constexpr double largest = std::numeric_limits<double>::max();

}  // namespace

TEST(Boxes, EmptyBoxesAgree) {
    const Bounds b;
    const Rectangle2D r;
    EXPECT_EQ(b.lower.x, largest);
    EXPECT_EQ(b.upper.x, -largest);
    EXPECT_EQ(r.min_x, b.lower.x);
    EXPECT_EQ(r.min_y, b.lower.y);
    EXPECT_EQ(r.max_x, b.upper.x);
    EXPECT_EQ(r.max_y, b.upper.y);
    EXPECT_TRUE(b.is_finite());
    // Grown, it spans nearly all of space, the same whatever the margin.
    const Bounds grown = b.grown(0.5);
    EXPECT_EQ(grown.lower.z, -largest);
    EXPECT_EQ(grown.upper.z, largest);
}

TEST(Boxes, PointsWidenAlike) {
    const double xs[] = {not_a_number, 3.0, -2.0, not_a_number, 5.0, -0.0};
    Bounds b;
    Rectangle2D r;
    for (double x : xs) {
        b.add(Vector3D{x, -x, 0.0});
        r.add(Point2D{x, -x});
    }
    EXPECT_EQ(b.lower.x, -2.0);
    EXPECT_EQ(b.upper.x, 5.0);
    EXPECT_EQ(b.lower.y, -5.0);
    EXPECT_EQ(b.upper.y, 2.0);
    EXPECT_EQ(r.min_x, b.lower.x);
    EXPECT_EQ(r.max_x, b.upper.x);
    EXPECT_EQ(r.min_y, b.lower.y);
    EXPECT_EQ(r.max_y, b.upper.y);
    EXPECT_FALSE(r.finite);  // a NaN was added: no conclusion is drawn from the rectangle
    // The first point makes both corners.
    Rectangle2D one;
    one.add(Point2D{1.5, -1.5});
    EXPECT_EQ(one.min_x, 1.5);
    EXPECT_EQ(one.max_x, 1.5);
    EXPECT_TRUE(one.finite);
}

TEST(Boxes, EmptyRectangleIsApartFromEveryFiniteOne) {
    Rectangle2D point;
    point.add(Point2D{-largest, largest});
    EXPECT_TRUE(Rectangle2D{}.apart_from(point));
    EXPECT_TRUE(point.apart_from(Rectangle2D{}));
    EXPECT_TRUE(Rectangle2D{}.apart_from(Rectangle2D{}));
}
