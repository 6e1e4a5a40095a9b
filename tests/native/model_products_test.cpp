// What a model's records tell alone: strings decoded as other readers decode
// them, the doubts about what a product refers to, and the spatial
// relations, each where a reader with the schema could take them otherwise.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "ifc/reachable_records.hpp"
#include "ifc/spatial_relations.hpp"
#include "ifc/step_records.hpp"
#include "ifc/step_strings.hpp"

using namespace velmarin::ifc;

namespace {

TEST(StepStrings, DecodesTheEscapesOtherReadersDecodeAndRefusesTheRest) {
    const std::pair<std::string_view, std::string_view> decoded[] = {
        {"plain text", "plain text"},
        {"it''s", "it's"},
        {"a\\\\b", "a\\b"},
        {"\\S\\i", "\xC3\xA9"},
        {"\\X\\E9\\X\\41",
         "\xC3\xA9"
         "A"},
        {"\\X2\\00E94E2D\\X0\\!", "\xC3\xA9\xE4\xB8\xAD!"},
        {"\\X4\\0001F600\\X0\\", "\xF0\x9F\x98\x80"},
        {"", ""},
    };
    for (const auto& [written, text] : decoded) EXPECT_EQ(decoded_string(written), std::string(text)) << written;
    for (const std::string_view refused : {
             "\\PA\\\\S\\i",             // a code page switched
             "\\X2\\D83DDE00\\X0\\",     // a surrogate pair, which other readers drop
             "\\X2\\00E\\X0\\",          // too few digits
             "\\X2\\00E9",               // never closed
             "\\X4\\00110000\\X0\\",     // beyond Unicode
             "\\X\\G0",
             "\\Q\\",
             "a\\",
             "'",
             "caf\xC3\xA9",
             "tab\there",
         }) {
        EXPECT_EQ(decoded_string(refused), std::nullopt) << refused;
    }
}

// The doubt about what record #1 refers to, or "" when there is none.
std::string doubt(std::string_view text, double metres = 1.0) {
    const StepRecords records(text);
    ReachableRecords reachable(records, metres);
    return reachable.doubt(1).value_or("");
}

TEST(ReachableRecords, DoubtsWhatTheChecksOfTheFullModelCouldFind) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        // Nothing: references in strings, shared records, short and negative numbers, enumerations.
        {"#1=IFCA(#2,#3,'#9',.T.,-1.5,1.E-5);#2=IFCB(#4);#3=IFCC(#4);#4=IFCD((1.,2.));", ""},
        {"#1=IFCA(123456789,(1,2,3));", ""},  // integers, where no real stands
        {"#1=IFCMAPPEDITEM(#2,#3);#2=IFCREPRESENTATIONMAP(#3,#4);#3=IFCX();#4=IFCSHAPEREPRESENTATION();", ""},
        // Doubts.
        {"#1=IFCA(#2);", "#2: referred to, and not in the model"},
        {"#1=IFCA(#2);#2=IFCB(#1);", "#1: in a loop of references"},
        {"#1=IFCA(#2);#2=IFCB(12345.);", "#2=IFCB: a number long enough to be beyond a building's"},
        {"#1=IFCA(1.E5);", "#1=IFCA: a number long enough to be beyond a building's"},
        {"#1=IFCCARTESIANPOINT((123456,0.,0.));",
         "#1=IFCCARTESIANPOINT: a number long enough to be beyond a building's"},
        {"#1=IFCA(IFCREAL(123456));", "#1=IFCA: a number long enough to be beyond a building's"},
        {"#1=IFCA(#2);#2=IFCTRIMMEDCURVE(#3);#3=IFCB();",
         "#2=IFCTRIMMEDCURVE: a reference other readers follow unchecked"},
        {"#1=IFCMAPPEDITEM(#2,#3);#2=IFCCARTESIANPOINT((0.,0.));#3=IFCX();",
         "#1=IFCMAPPEDITEM: a followed reference to another kind"},
        {"#1=IFCPOLYGONALFACESET(#2);#2=IFCCARTESIANPOINTLIST2D(());",
         "#1=IFCPOLYGONALFACESET: a followed reference to another kind"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(doubt(text), expected) << text;
    // What is long hangs on the unit: 12,345 mm is 12 m.
    EXPECT_EQ(doubt("#1=IFCA(12345.);", 0.001), "");
    EXPECT_EQ(ReachableRecords::long_digits(1.0), 5);
    EXPECT_EQ(ReachableRecords::long_digits(0.001), 7);
    EXPECT_EQ(ReachableRecords::long_digits(0.3048), 5);  // a foot: 32,808 of them
    for (const double none : {0.0, -1.0, 1e5}) EXPECT_EQ(ReachableRecords::long_digits(none), 1) << none;
}

TEST(SpatialRelations, FindsTheStoreyAboveASpaceAndSaysWhatIsUnclear) {
    const std::string_view model =
        "#1=IFCBUILDINGSTOREY('s');#2=IFCSPACE('a');#3=IFCSPACE('b');#4=IFCSPACE('c');"
        "#10=IFCRELAGGREGATES('r',$,$,$,#1,(#2,#3));#11=IFCRELAGGREGATES('r',$,$,$,#3,(#4));"
        "#5=IFCOPENINGELEMENT('o');#6=IFCDOOR('d');#12=IFCRELFILLSELEMENT('r',$,$,$,#5,#6);"
        "#7=IFCSTAIR('w');#8=IFCSTAIRFLIGHT('f');#13=IFCRELAGGREGATES('r',$,$,$,#7,(#8));";
    const StepRecords records(model);
    SpatialRelations relations(records, false);
    EXPECT_EQ(relations.storey_of(2), 1u);
    EXPECT_EQ(relations.storey_of(4), 1u);  // through the space that aggregates it
    EXPECT_EQ(relations.filling(5), 6u);
    EXPECT_TRUE(relations.aggregates(7, "IFCSTAIRFLIGHT"));
    EXPECT_FALSE(relations.aggregates(8, "IFCSTAIRFLIGHT"));
    EXPECT_EQ(relations.unclear(), "");

    const std::pair<std::string_view, std::string_view> unclear[] = {
        {"#20=IFCRELNESTS('r',$,$,$,#1,(#2));", "#2: nested, or contained, on the way up to a storey"},
        {"#20=IFCRELAGGREGATES('r',$,$,$,#1,(#2));", "#2: decomposed or contained twice"},
        {"#20=IFCRELFILLSELEMENT('r',$,$,$,#5,#7);", "#5: filled twice"},
        {"#20=IFCRELAGGREGATES('r',$,$,$,#1);", "#20=IFCRELAGGREGATES: its ends do not read"},
    };
    for (const auto& [added, expected] : unclear) {
        const std::string text = std::string(model) + std::string(added);
        const StepRecords more(text);
        SpatialRelations ifc2x3(more, true);  // where nesting decomposes too
        ifc2x3.storey_of(2);
        ifc2x3.filling(5);
        EXPECT_EQ(ifc2x3.unclear(), expected) << added;
    }
}

}  // namespace
