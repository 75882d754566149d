#include "vx/Version.h"

#include <gtest/gtest.h>

namespace {

using vx::Version;

int sign(int v) { return (v > 0) - (v < 0); }

TEST(Version, SplitKeepsEmptyPieces) {
    EXPECT_EQ(Version("1.2.3").parts(), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(Version("7").parts(), (std::vector<std::string>{"7"}));
    EXPECT_EQ(Version("").parts(), (std::vector<std::string>{""}));
    EXPECT_EQ(Version("1..2.").parts(), (std::vector<std::string>{"1", "", "2", ""}));
    EXPECT_EQ(Version("4.2").text(), "4.2");
}

TEST(Version, Comparison) {
    struct Case {
        const char* a;
        const char* b;
        int expected; // sign of a.compare(b)
    };
    const Case cases[] = {
        {"1.0", "1.0", 0},
        {"1.0", "1.0.0", 0},       // trailing zero parts do not count
        {"1.0", "1", 0},
        {"1.0.1", "1.0", 1},
        {"1.0", "1.0.1", -1},
        {"1.10", "1.9", -1},       // parts compare as texts
        {"02", "1", -1},
        {"1.0", "1.0.beta", 0},    // a part without digits reads as 0
        {"1.0.7beta", "1.0", 1},   // digits up to the first other character
        {"1.0", "1.0.-0", 0},
        {"1.0", "1.0.+3", -1},
        {"1.0", "1.0.00000000000000000000000000001", -1}, // no overflow
        {"1.2a", "1.2", 1},        // longer part with equal prefix is higher
        {"", "0", -1},
        {"2.0", "10.0", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sign(Version(c.a).compare(c.b)), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(sign(Version(c.b).compare(Version(c.a))), -c.expected) << c.b << " vs " << c.a;
        EXPECT_EQ(Version(c.a).equals(c.b), c.expected == 0);
    }
}

// The value itself, not only its sign, for callers that print or store it.
TEST(Version, ComparisonGivesTheFirstDifference) {
    struct Case {
        const char* a;
        const char* b;
        int expected;
    };
    const Case cases[] = {
        {"1.100", "1.1", 2}, // a prefix: the difference of the lengths
        {"1.1", "1.100", -2},
        {"1.2a", "1.2", 1},
        {"1.9", "1.10", '9' - '1'}, // the first differing bytes
        {"1.a", "1.c", -2},
        {"1.0", "1.0.5", -1}, // beyond the shorter version only the sign is given
        {"1.0.5", "1.0", 1},
        {"3.3", "3.3", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Version(c.a).compare(c.b), c.expected) << c.a << " vs " << c.b;
    }
}

} // namespace
