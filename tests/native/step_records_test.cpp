// The index of a STEP text's records and the readers of their fields, on
// the shapes of text that exporters write and on text that is broken.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ifc/step_records.hpp"

using namespace velmarin;
using namespace velmarin::ifc;

namespace {

// A record's type and fields, or "-" when the number has none.
std::string indexed(const StepRecords& records, std::uint64_t number) {
    const StepRecord* record = records.find(number);
    return record ? std::string(record->type) + "|" + std::string(record->fields) : "-";
}

TEST(StepRecords, IndexesEachRecordWhereverItsTextRuns) {
    const std::string_view text =
        "ISO-10303-21;\nHEADER;\nFILE_DESCRIPTION(('a;b'),'2;1');\nFILE_NAME('#9=IFCWALL(1);');\nENDSEC;\n"
        "DATA;\n"
        "#1=IFCCARTESIANPOINT((0.,\n  1.,\n  2.));\n"
        "#2 = IFCLABEL ( 'a;b,c(d''e' ) ;\n"
        "/* #3=IFCWALL(); a comment */\n"
        "#4=IFCPOINT(1.);\n"
        "#1=IFCDIRECTION((1.,0.,0.));\n"  // a second definition of #1
        "#5=IFCBROKEN(1.;\n"  // unbalanced: not indexed
        "#6 IFCNOEQUALS(1.);\n"
        "#7=(1.);\n"  // no type
        "#x8=IFCNONUMBER(1.);\n"
        "#10=ifcLower();\n"
        "ENDSEC;\nEND-ISO-10303-21;\n";
    const StepRecords records(text);
    EXPECT_EQ(indexed(records, 1), "IFCCARTESIANPOINT|(0.,\n  1.,\n  2.)");
    EXPECT_EQ(indexed(records, 2), "IFCLABEL| 'a;b,c(d''e' ");
    EXPECT_EQ(indexed(records, 3), "-");
    EXPECT_EQ(indexed(records, 4), "IFCPOINT|1.");
    for (const std::uint64_t broken : {5, 6, 7, 8, 9}) EXPECT_EQ(indexed(records, broken), "-") << broken;
    EXPECT_EQ(indexed(records, 10), "ifcLower|");
    EXPECT_EQ(records.unread(), 5u);  // #5, #6, #7, #x8 and the second #1
    EXPECT_EQ(records.numbers_of("IFCLOWER"), std::vector<std::uint64_t>{10});
    EXPECT_EQ(records.numbers_of("IFCCARTESIANPOINT"), std::vector<std::uint64_t>{1});
    EXPECT_TRUE(records.numbers_of("IFCDIRECTION").empty());
}

TEST(StepRecords, TextCutShortLosesOnlyTheLastRecord) {
    for (const std::string_view text :
         {"#1=IFCA(1);#2=IFCB('open", "#1=IFCA(1);#2=IFCB(/* open", "#1=IFCA(1);#2=IFCB((1,2"}) {
        const StepRecords records(text);
        EXPECT_EQ(indexed(records, 1), "IFCA|1") << text;
        EXPECT_EQ(indexed(records, 2), "-") << text;
    }
}

// The fields of a record, joined by "|", or "broken".
std::string split(std::string_view text) {
    std::vector<std::string_view> fields;
    if (!split_fields(text, fields)) return "broken";
    std::string joined;
    for (const std::string_view field : fields) joined += std::string(field) + "|";
    return joined;
}

TEST(StepFields, SplitOutsideStringsAndLists) {
    EXPECT_EQ(split(""), "");
    EXPECT_EQ(split(" "), "");
    EXPECT_EQ(split("$"), "$|");
    EXPECT_EQ(split("#1, $ ,*,.T."), "#1|$|*|.T.|");
    EXPECT_EQ(split("'a,b','c''),('"), "'a,b'|'c''),('|");
    EXPECT_EQ(split("(1,(2,3)),IFCLINEINDEX((1,2)),()"), "(1,(2,3))|IFCLINEINDEX((1,2))|()|");
    EXPECT_EQ(split("1,,2"), "1||2|");
    EXPECT_EQ(split("1,"), "1||");
    for (const std::string_view broken : {"'open", "(1,2", "1),(2", "'a''", "((1)"}) {
        EXPECT_EQ(split(broken), "broken") << broken;
    }
}

TEST(StepFields, ReadTypedValuesOrNone) {
    struct Real {
        std::string_view field;
        std::optional<double> value;
    };
    for (const Real& c : std::vector<Real>{{"1.", 1.0},
                                           {"-2.5", -2.5},
                                           {"+3", 3.0},
                                           {"1.E3", 1000.0},
                                           {"2.5e-2", 0.025},
                                           {"IFCLENGTHMEASURE(2.5)", 2.5},
                                           {"IFCREAL( -4. )", -4.0},
                                           {"1E400", std::nullopt},
                                           {"$", std::nullopt},
                                           {"*", std::nullopt},
                                           {"", std::nullopt},
                                           {"1.5x", std::nullopt},
                                           {"'1.5'", std::nullopt},
                                           {"nan", std::nullopt},
                                           {"#1", std::nullopt}}) {
        EXPECT_EQ(real_field(c.field), c.value) << c.field;
    }
    EXPECT_EQ(integer_field("IFCINTEGER(7)"), 7);
    EXPECT_EQ(integer_field("-12"), -12);
    EXPECT_EQ(integer_field("1."), std::nullopt);
    EXPECT_EQ(reference_field("#42"), 42u);
    EXPECT_EQ(reference_field("#"), std::nullopt);
    EXPECT_EQ(reference_field("#4x"), std::nullopt);
    EXPECT_EQ(reference_field("#99999999999999999999"), std::nullopt);
    EXPECT_EQ(enumeration_field(".T."), "T");
    EXPECT_EQ(enumeration_field(".."), std::nullopt);
    EXPECT_EQ(string_field("'it''s'"), "it''s");
    EXPECT_EQ(string_field("'"), std::nullopt);
    EXPECT_EQ(list_field("()"), "");
    EXPECT_EQ(list_field("$"), std::nullopt);
    EXPECT_TRUE(unset_field("$"));
    EXPECT_FALSE(unset_field("*"));
}

// A point field's coordinates, or none.
std::vector<double> coordinates(std::string_view field) {
    const std::optional<Vector3D> p = coordinates_field(field);
    return p ? std::vector<double>{p->x, p->y, p->z} : std::vector<double>{};
}

TEST(StepFields, ListsAndCoordinates) {
    std::vector<std::uint64_t> references;
    EXPECT_TRUE(list_values(std::string_view("(#1, #2 ,#30)"), reference_field, references));
    EXPECT_EQ(references, (std::vector<std::uint64_t>{1, 2, 30}));
    EXPECT_TRUE(list_values(std::string_view("()"), reference_field, references));
    EXPECT_TRUE(references.empty());
    for (const std::string_view no_list : {"(#1,$)", "(#1,)", "$", "(#1", "(#1,'a)"}) {
        EXPECT_FALSE(list_values(no_list, reference_field, references)) << no_list;
    }
    EXPECT_EQ(coordinates("(1.,2.,3.)"), (std::vector<double>{1.0, 2.0, 3.0}));
    EXPECT_EQ(coordinates("(1.5,-2.)"), (std::vector<double>{1.5, -2.0, 0.0}));
    EXPECT_EQ(coordinates("(7.)"), (std::vector<double>{7.0, 0.0, 0.0}));
    for (const std::string_view no_point : {"()", "(1.,2.,3.,4.)", "(1.,$)", "(1.,1E999)", "1.,2."}) {
        EXPECT_TRUE(coordinates(no_point).empty()) << no_point;
    }
}

TEST(StepRecords, RecordsOfATypeInAnyCase) {
    const StepRecords records("#1=IfcPolyLine((#2,#3));#2=IFCCARTESIANPOINT((0.,0.));");
    std::vector<std::string_view> fields;
    EXPECT_TRUE(fields_of(records, 1, "IFCPOLYLINE", 1, fields));
    EXPECT_EQ(fields, std::vector<std::string_view>{"(#2,#3)"});
    EXPECT_FALSE(fields_of(records, 1, "IFCPOLYLINE", 2, fields));
    EXPECT_FALSE(fields_of(records, 2, "IFCPOLYLINE", 1, fields));
    EXPECT_FALSE(fields_of(records, 3, "IFCPOLYLINE", 1, fields));
    EXPECT_EQ(record_of(records, 1, "IFCPOLYLIN"), nullptr);
}

}  // namespace
