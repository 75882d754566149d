#include "runtime/Format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

using runtime::format;

TEST(Format, PlaceholdersTakeArgumentsInOrderOrByNumber) {
    EXPECT_EQ(format("{}: {}\n", "INFO", "text"), "INFO: text\n");
    EXPECT_EQ(format("{1} before {0}", "a", "b"), "b before a");
    EXPECT_EQ(format("{0}{0}{}", "x", "y"), "xxy"); // "{}" follows the last one used
    EXPECT_EQ(format("no placeholders"), "no placeholders");
}

TEST(Format, ArgumentsInTheirPlainTextForm) {
    EXPECT_EQ(format("{} {} {}", 42, -7, std::numeric_limits<std::int64_t>::min()),
              "42 -7 -9223372036854775808");
    EXPECT_EQ(format("{} {}", true, false), "true false");
    EXPECT_EQ(format("{}{}", 'c', std::string("s")), "cs");
    EXPECT_EQ(format("{}", std::string_view("view")), "view");
    EXPECT_EQ(format("{}", 2.5), "2.5");
    EXPECT_EQ(format("{}", static_cast<const char*>(nullptr)), "");
}

TEST(Format, BracesThatAreNotPlaceholdersStayAsTheyAre) {
    struct Case {
        const char* input;
        const char* expected;
    };
    const Case cases[] = {
        {"{0} and {5}", "a and {5}"},
        {"{", "{"},
        {"}", "}"},
        {"{x}", "{x}"},
        {"{{}", "{a"},
        {"a {99999999999999999999} b", "a {99999999999999999999} b"},
        {"{12", "{12"},
        {"<a>{\"k\": 1}</a>", "<a>{\"k\": 1}</a>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(format(c.input, "a"), c.expected) << c.input;
    }
    EXPECT_EQ(format("{}"), "{}");
}

} // namespace
