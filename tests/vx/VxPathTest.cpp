#include "vx/vxpath.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

using vx::vxpath::normalise;

TEST(VxPath, Normalise) {
    struct Case {
        const char* input;
        const char* expected;
    };
    const Case cases[] = {
        {"", ""},
        {"C:\\ProgramData", "C:/ProgramData"},
        {"C:\\windows\\system32\\", "C:/windows/system32"},
        {"C:/a/./b/../c", "C:/a/c"},
        {"C:\\a\\..\\..\\b", "C:/b"},       // never above the drive
        {"C:\\", "C:/"},
        {"C:\\..", "C:/"},
        {"a//b///c", "a/b/c"},
        {"../x", "../x"},                   // nothing to remove: stays relative
        {"a/../../x", "../x"},
        {"/usr/./lib/..", "/usr"},
        {"/..", "/"},
        {"\\\\server\\share\\..\\x", "//server/x"},
        {"a/..", "."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(normalise(c.input), c.expected) << c.input;
        EXPECT_EQ(normalise(normalise(c.input)), normalise(c.input)) << c.input;
    }
}

TEST(VxPath, Join) {
    EXPECT_EQ(vx::vxpath::join("C:/ProgramData", "vxi"), "C:/ProgramData/vxi");
    EXPECT_EQ(vx::vxpath::join("C:/", "vxi"), "C:/vxi");
    EXPECT_EQ(vx::vxpath::join("", "vxi"), "vxi");
}

TEST(VxPath, PythonFileFallsBackToTheCompiledScript) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("vxpath-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
    const std::string folder = vx::vxpath::normalise(dir.string());
    const std::string present = folder + "/installer.py";
    std::ofstream(std::filesystem::path(dir / "installer.py")) << "print 1\n";

    EXPECT_EQ(vx::vxpath::GetPythonFile(present), present);
    EXPECT_EQ(vx::vxpath::GetPythonFile(folder + "/missing.py"), folder + "/missing.pyc");
    EXPECT_EQ(vx::vxpath::GetPythonFile(folder + "/noext"), folder + "/noext.pyc");
    EXPECT_EQ(vx::vxpath::GetPythonFile(folder + "/v1.2/script"), folder + "/v1.2/script.pyc");
    std::filesystem::remove_all(dir);
}

} // namespace
