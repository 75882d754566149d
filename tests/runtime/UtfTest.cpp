#include "runtime/Utf.h"

#include <gtest/gtest.h>

namespace {

using runtime::isValidUtf8;
using runtime::utf16ToUtf8;
using runtime::utf8ToUtf16;

TEST(Utf, WellFormedTextRoundTrips) {
    const std::string samples[] = {
        "", "plain ASCII", "Gr\xC3\xBC\xC3\x9F" "e", "\xE2\x82\xAC 100",
        "\xF0\x9F\x98\x80 emoji", std::string("nul\0inside", 10),
        "\xEF\xBF\xBF \xF4\x8F\xBF\xBF", // U+FFFF and U+10FFFF
    };
    for (const std::string& s : samples) {
        EXPECT_TRUE(isValidUtf8(s)) << s;
        EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(s)), s) << s;
    }
    EXPECT_EQ(utf8ToUtf16("\xF0\x9F\x98\x80"), std::u16string(u"\xD83D\xDE00"));
    EXPECT_EQ(utf8ToUtf16("\xE2\x82\xAC"), std::u16string(u"\x20AC"));
}

TEST(Utf, IllFormedUtf8BecomesReplacementCharacters) {
    struct Case {
        std::string input;
        std::u16string expected;
    };
    const Case cases[] = {
        {"\x80", u"\xFFFD"},                         // stray continuation byte
        {"a\xC3", u"a\xFFFD"},                       // truncated at the end
        {"\xC3(", u"\xFFFD("},                       // continuation missing
        {"\xC0\xAF", u"\xFFFD\xFFFD"},               // overlong "/"
        {"\xE0\x80\xAF", u"\xFFFD\xFFFD\xFFFD"},     // overlong, three bytes
        {"\xED\xA0\x80", u"\xFFFD\xFFFD\xFFFD"},     // encoded surrogate
        {"\xF4\x90\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD"}, // past U+10FFFF
        {"\xF0\x9F\x98", u"\xFFFD"},                 // maximal subpart counts once
        {"\xFF\xFE", u"\xFFFD\xFFFD"},
        {"\xE2\x82x", u"\xFFFD" u"x"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(isValidUtf8(c.input));
        EXPECT_EQ(utf8ToUtf16(c.input), c.expected);
    }
}

TEST(Utf, UnpairedSurrogatesBecomeReplacementCharacters) {
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, u'\xDC00') + u"a"), "\xEF\xBF\xBD" "a");
    EXPECT_EQ(utf16ToUtf8(std::u16string(u"\xD83D") + u"x"), "\xEF\xBF\xBDx");
    // Reversed pair: two lone surrogates.
    const std::u16string reversed{u'\xDE00', u'\xD83D'};
    EXPECT_EQ(utf16ToUtf8(reversed), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

} // namespace
