#include <gtest/gtest.h>

#include <vector>

#include "zones/ObjectIDFormat.h"

namespace {

struct FormatCase {
    const char* pattern;
    int value;
    const char* expected;
};

TEST(ZoneGeometryObjectIDFormat, PatternsWithOneIntegerFormat) {
    const std::vector<FormatCase> cases = {
        {"ObjectID %d", 1, "ObjectID 1"},
        {"Zone %d", 12, "Zone 12"},
        {"No number", 3, "No number"},
        {"%%d %d", 3, "%d 3"},
        {"%0:d-%0:d", 3, "3-3"},
        {"%3d|", 3, "  3|"},
        {"%-3d|", 3, "3  |"},
        {"%.3d", 3, "003"},
        {"%x", 255, "FF"},
        {"%D", -7, "-7"},
        {"%u", 0, "0"},
    };
    for (const FormatCase& c : cases) {
        std::string result;
        ASSERT_TRUE(FormatObjectID(c.pattern, c.value, result)) << c.pattern;
        EXPECT_EQ(result, c.expected) << c.pattern;
    }
}

TEST(ZoneGeometryObjectIDFormat, PatternsThatCannotTakeOneIntegerAreRefused) {
    for (const char* pattern : {"%s", "%d %d", "%", "abc %", "%1:d", "%f", "%5", "%q"}) {
        std::string result = "unchanged";
        EXPECT_FALSE(FormatObjectID(pattern, 1, result)) << pattern;
        EXPECT_EQ(result, "unchanged") << pattern;
    }
}

}  // namespace
