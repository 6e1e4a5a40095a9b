// Where a model's records put things: chains of local placements composed
// outermost last, rings of them refused, the scaled transformations of
// mapped shapes, and an extrusion's corners in world coordinates checked
// against coordinates worked out by hand.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "ifc/element_bodies.hpp"
#include "ifc/placements.hpp"
#include "ifc/step_records.hpp"

using namespace velmarin;
using namespace velmarin::ifc;

namespace {

void expect_near(const Vector3D& got, const Vector3D& expected, std::string_view what) {
    constexpr double close = 1e-12;
    EXPECT_NEAR(got.x, expected.x, close) << what;
    EXPECT_NEAR(got.y, expected.y, close) << what;
    EXPECT_NEAR(got.z, expected.z, close) << what;
}

// Shared by the tests: points, directions and axes, in the model's unit.
constexpr std::string_view axes_records =
    "#1=IFCCARTESIANPOINT((0.,0.,0.));"
    "#2=IFCDIRECTION((0.,0.,1.));"
    "#3=IFCDIRECTION((0.,1.,0.));"
    "#4=IFCDIRECTION((1.,0.,0.));"
    "#5=IFCCARTESIANPOINT((1.,0.,0.));"
    "#6=IFCCARTESIANPOINT((2.,0.,0.));"
    "#7=IFCCARTESIANPOINT((0.,0.,3.));"
    "#8=IFCCARTESIANPOINT((1.,2.,3.));"
    "#9=IFCDIRECTION((-1.,0.,0.));"
    "#11=IFCAXIS2PLACEMENT3D(#5,$,#3);"  // a quarter turn about z, moved along x
    "#12=IFCAXIS2PLACEMENT3D(#6,$,$);"
    "#13=IFCAXIS2PLACEMENT3D(#7,#4,#3);";  // z along x, x along y

TEST(Placements, ChainComposedFromTheOutermost) {
    const std::string text = std::string(axes_records) +
                             "#21=IFCLOCALPLACEMENT($,#11);"
                             "#22=IFCLOCALPLACEMENT(#21,#12);"
                             "#23=IFCLOCALPLACEMENT(#22,#13);";
    const StepRecords records(text);
    Placements placements(records, 0.5);
    // #22: (2,0,0) turned a quarter about z, then moved by (1,0,0); in half metres.
    const std::optional<Affine> middle = placements.local_placement(22);
    ASSERT_TRUE(middle);
    expect_near(middle->origin, {0.5, 1.0, 0.0}, "origin of #22");
    expect_near(middle->x, {0.0, 1.0, 0.0}, "x of #22");
    // #23: its own axes turn z onto x and x onto y; the chain's quarter turn
    // then takes x to y and y to -x.
    const std::optional<Affine> inner = placements.local_placement(23);
    ASSERT_TRUE(inner);
    expect_near(inner->origin, {0.5, 1.0, 1.5}, "origin of #23");
    expect_near(inner->x, {-1.0, 0.0, 0.0}, "x of #23");
    expect_near(inner->y, {0.0, 0.0, 1.0}, "y of #23");
    expect_near(inner->z, {0.0, 1.0, 0.0}, "z of #23");
    expect_near(inner->apply({1.0, 0.0, 0.0}), {-0.5, 1.0, 1.5}, "a point placed by #23");
}

TEST(Placements, RingsAndBrokenLinksGiveNone) {
    std::string text = std::string(axes_records) +
                       "#31=IFCLOCALPLACEMENT(#32,#12);"
                       "#32=IFCLOCALPLACEMENT(#31,#12);"
                       "#33=IFCLOCALPLACEMENT(#33,#12);"
                       "#34=IFCLOCALPLACEMENT(#99,#12);"  // relative to nothing
                       "#35=IFCLOCALPLACEMENT($,#2);"  // a direction for its axes
                       "#36=IFCLOCALPLACEMENT(#31,#12);";
    // A long chain, well within the depth followed, then on past it.
    text += "#100=IFCLOCALPLACEMENT($,#12);";
    for (int k = 101; k <= 250; ++k) {
        text += '#';
        text += std::to_string(k);
        text += "=IFCLOCALPLACEMENT(#";
        text += std::to_string(k - 1);
        text += ",#12);";
    }
    const StepRecords records(text);
    Placements placements(records, 1.0);
    for (const std::uint64_t none : {31, 32, 33, 34, 35, 36, 12})
        EXPECT_FALSE(placements.local_placement(none)) << none;
    const std::optional<Affine> deep = placements.local_placement(150);
    ASSERT_TRUE(deep);
    expect_near(deep->origin, {102.0, 0.0, 0.0}, "the end of the long chain");
    // Too long a chain gives None though its first half was followed before,
    // and the longest allowed is followed after it was refused.
    EXPECT_FALSE(placements.local_placement(250));
    EXPECT_FALSE(placements.local_placement(100 + Placements::deepest_chain));
    EXPECT_TRUE(placements.local_placement(99 + Placements::deepest_chain));
}

TEST(Placements, TransformationScaledWithDefaultAxes) {
    const std::string text = std::string(axes_records) +
                             "#41=IFCCARTESIANTRANSFORMATIONOPERATOR3D($,$,#8,2.,$);"
                             "#42=IFCCARTESIANTRANSFORMATIONOPERATOR3D($,$,#8,$,$);"
                             "#43=IFCCARTESIANTRANSFORMATIONOPERATOR3D(#3,#9,#1,2.,#2);"
                             "#44=IFCCARTESIANTRANSFORMATIONOPERATOR3D($,$,#8,0.,$);"
                             "#45=IFCCARTESIANTRANSFORMATIONOPERATOR3D($,$,#8,-2.,$);"
                             "#46=IFCCARTESIANTRANSFORMATIONOPERATOR3D($,$,#3,2.,$);";  // a direction for its origin
    const StepRecords records(text);
    Placements placements(records, 1.0);
    const std::optional<Affine> scaled = placements.transformation(41);
    ASSERT_TRUE(scaled);
    expect_near(scaled->apply({1.0, 1.0, 1.0}), {3.0, 4.0, 5.0}, "scaled by 2, moved by (1,2,3)");
    const std::optional<Affine> unscaled = placements.transformation(42);
    ASSERT_TRUE(unscaled);
    expect_near(unscaled->apply({1.0, 1.0, 1.0}), {2.0, 3.0, 4.0}, "scale unset");
    const std::optional<Affine> turned = placements.transformation(43);
    ASSERT_TRUE(turned);
    expect_near(turned->apply({1.0, 0.0, 0.0}), {0.0, 2.0, 0.0}, "x along y, scaled by 2");
    expect_near(turned->apply({0.0, 1.0, 0.0}), {-2.0, 0.0, 0.0}, "y along -x");
    for (const std::uint64_t none : {44, 45, 46}) EXPECT_FALSE(placements.transformation(none)) << none;
}

TEST(ElementBodies, ExtrusionPlacedInWorldCoordinates) {
    // A 4 by 2 rectangle whose corner sits at its position's origin, swept
    // 3 along a position whose z is the world's x, in an element turned a
    // quarter about z and moved to (10, 20, 30); all in millimetres.
    const std::string_view text =
        "#1=IFCCARTESIANPOINT((0.,0.,0.));#2=IFCDIRECTION((0.,0.,1.));#3=IFCDIRECTION((0.,1.,0.));"
        "#4=IFCDIRECTION((1.,0.,0.));#5=IFCCARTESIANPOINT((10000.,20000.,30000.));"
        "#6=IFCAXIS2PLACEMENT3D(#5,$,#3);#7=IFCLOCALPLACEMENT($,#6);"
        "#8=IFCGEOMETRICREPRESENTATIONCONTEXT($,'Model',3,1.E-05,#9,$);#9=IFCAXIS2PLACEMENT3D(#1,$,$);"
        "#10=IFCSPACE('id',$,$,$,$,#7,#11,$,.ELEMENT.,.SPACE.,$);"
        "#11=IFCPRODUCTDEFINITIONSHAPE($,$,(#12));"
        "#12=IFCSHAPEREPRESENTATION(#8,'Body','SweptSolid',(#20));"
        "#13=IFCCARTESIANPOINT((2000.,1000.));#14=IFCAXIS2PLACEMENT2D(#13,$);"
        "#15=IFCRECTANGLEPROFILEDEF(.AREA.,$,#14,4000.,2000.);"
        "#16=IFCAXIS2PLACEMENT3D(#1,#4,#3);"
        "#20=IFCEXTRUDEDAREASOLID(#15,#16,#2,3000.);";
    const StepRecords records(text);
    ElementBodies bodies(records, 0.001);
    const std::optional<Mesh> body = bodies.body(10);
    ASSERT_TRUE(body);
    ASSERT_EQ(body->faces.size(), 6u);
    // The profile's (u, v) lands at (10 - u, 20, 30 + v): the position
    // takes it to (0, u, v), the element's quarter turn to (-u, 0, v); the
    // sweep runs along the world's y.
    const Vector3D bottom[4] = {{10.0, 20.0, 30.0}, {6.0, 20.0, 30.0}, {6.0, 20.0, 32.0}, {10.0, 20.0, 32.0}};
    for (std::size_t k = 0; k < 4; ++k) {
        expect_near(body->vertices[body->faces[0][k]], bottom[k], "the profile's corner");
        const Vector3D top{bottom[k].x, bottom[k].y + 3.0, bottom[k].z};
        expect_near(body->vertices[body->faces[1][k]], top, "the swept corner");
    }
    EXPECT_FALSE(bodies.body(12));  // a representation, not an element
}

}  // namespace
