// Saving a settings file that is a link, under Wine: the link was made on the Linux
// side (the fixture before this test), as a person would make one by hand, and must
// stay a link to the file that gets the new text.
#include "vx/config/Config.h"

#include "support/win32/TestPaths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ConfigLink, SaveReplacesTheLinksTarget) {
    const std::string folder = testing_support::wineVisible(LINK_FOLDER);
    vx::config::Config root(folder + "\\settings.cfg");
    root.setString("k", "new");
    root.save();
    EXPECT_EQ(read(folder + "\\real\\settings.cfg"), "k = new\n");
    EXPECT_EQ(read(folder + "\\settings.cfg"), "k = new\n");
}

} // namespace
