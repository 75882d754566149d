#include "installer/main.h"

#include "runtime/Exception.h"

#include <gtest/gtest.h>

namespace {

using installer::parseStartupText;

TEST(StartupText, BuiltInText) {
    const auto text = installer::builtInStartupText();
    const auto startup = parseStartupText(text);
    const std::string path = "/apps/installer/brivola/static/BrivolaDesktopInstaller2.swf";
    EXPECT_EQ(startup.movieUrl.rfind("http://", 0), 0u);
    EXPECT_EQ(startup.movieUrl.substr(startup.movieUrl.size() - path.size()), path);
    EXPECT_EQ(startup.width, 520);
    EXPECT_EQ(startup.height, 420);
    EXPECT_EQ(startup.title, "Brivola Desktop Installer");
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST(StartupText, LineSplitting) {
    // "\r" only before "\n" is dropped; a bare "\n" works too; the fifth piece is ignored.
    const auto s = parseStartupText("http://h/m.swf\n10\r\n20\r\nA\rB\r\nignored");
    EXPECT_EQ(s.movieUrl, "http://h/m.swf");
    EXPECT_EQ(s.width, 10);
    EXPECT_EQ(s.height, 20);
    EXPECT_EQ(s.title, "A\rB");
}

TEST(StartupText, MalformedTextsFail) {
    for (const char* text : {"", "url\r\n520\r\n420", "url\r\nwide\r\n420\r\nT\r\n",
                             "url\r\n520px\r\n420\r\nT\r\n", "url\r\n\r\n420\r\nT\r\n",
                             "url\r\n99999999999\r\n420\r\nT\r\n"}) {
        EXPECT_THROW(parseStartupText(text), runtime::Exception) << text;
    }
}

} // namespace
