#include "vx/text.h"

#include "runtime/Exception.h"

#include <gtest/gtest.h>

namespace {

using vx::text::substitute;

const std::map<std::string, std::string> kVariables = {
    {"coredir", "C:/Program Files/Brivola"}, {"empty", ""}, {"we(ird%", "w"}};

TEST(Substitute, ReplacesReferencesAndDoubledPercent) {
    struct Case {
        const char* input;
        const char* expected;
    };
    const Case cases[] = {
        {"", ""},
        {"plain text", "plain text"},
        {"%%", "%"},
        {"100%% sure", "100% sure"},
        {"%(coredir)s/bin/core.dll", "C:/Program Files/Brivola/bin/core.dll"},
        {"[%(empty)s]", "[]"},
        {"%(we(ird%)s", "w"}, // "(" and "%" belong to the name inside a reference
        {"%(coredir)s%(coredir)s", "C:/Program Files/BrivolaC:/Program Files/Brivola"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(substitute(c.input, kVariables, false), c.expected) << c.input;
    }
}

TEST(Substitute, UnknownNamesFailUnlessLenient) {
    EXPECT_THROW(substitute("a%(missing)sb", kVariables, false), runtime::Exception);
    EXPECT_EQ(substitute("a%(missing)sb", kVariables, true), "ab");
}

TEST(Substitute, MalformedTemplatesFailWithAnEmptyMessage) {
    for (const char* input : {"%", "ends with %", "%x", "%(coredir", "%(coredir)", "%(coredir)d",
                              "%(", "%%%"}) {
        for (bool lenient : {false, true}) {
            try {
                substitute(input, kVariables, lenient);
                ADD_FAILURE() << "no error for " << input;
            } catch (const runtime::Exception& e) {
                EXPECT_EQ(e.message(), "") << input;
            }
        }
    }
}

} // namespace
