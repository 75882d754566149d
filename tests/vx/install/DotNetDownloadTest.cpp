// Installing .NET 2.0 for real: the stand-in package from the local content server on
// the port this build names (a ctest fixture serves it, from CONTENT_FOLDER/root and
// the stand-ins' content), run, and found by the presence test afterwards.
#include "vx/install/DotNetInstaller.h"

#include "runtime/Paths.h"
#include "support/win32/TestPaths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using vx::install::DotNetInstaller;

const char kPackage[] = "download/5/6/7/567758A3-759E-473E-BF8F-52154438565A/dotnetfx.exe";

void forget() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE,
                   L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727");
}

TEST(DotNetDownload, InstallsWithProgressOrFailsWithTheDownloadError) {
    // Broken off in the middle of the body: the download error, nothing run.
    forget();
    const std::string marker =
        testing_support::wineVisible(CONTENT_FOLDER) + "\\root\\" + kPackage + ".drop";
    std::filesystem::create_directories(runtime::pathFromUtf8(marker).parent_path());
    { std::ofstream(runtime::pathFromUtf8(marker)) << "drop"; }
    std::vector<std::string> seen;
    try {
        DotNetInstaller::installDotNet("2.0", [&](const std::string& t) { seen.push_back(t); });
        ADD_FAILURE() << "a broken download installed";
    } catch (const vx::VXDownloadException& e) {
        EXPECT_EQ(std::string(e.what()),
                  "The file failed to download from " + DotNetInstaller::packageUrl());
    }
    std::filesystem::remove(runtime::pathFromUtf8(marker));
    for (const std::string& t : seen) {
        EXPECT_NE(t, "Executing .NET Installer. Please wait...");
    }
    EXPECT_FALSE(DotNetInstaller::IsDotNetInstalled("2.0"));

    // Whole: percentages up to 100, the run message once and last, then installed.
    seen.clear();
    DotNetInstaller::installDotNet("2.0", [&](const std::string& t) { seen.push_back(t); });
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen.back(), "Executing .NET Installer. Please wait...");
    int last = -1;
    const std::string prefix = "Downloading .NET Framework: ";
    for (std::size_t i = 0; i + 1 < seen.size(); ++i) {
        ASSERT_EQ(seen[i].compare(0, prefix.size(), prefix), 0) << seen[i];
        const int percent = std::atoi(seen[i].c_str() + prefix.size());
        EXPECT_EQ(seen[i], prefix + std::to_string(percent) + "% complete");
        EXPECT_GE(percent, last);
        last = percent;
    }
    EXPECT_EQ(last, 100);
    EXPECT_TRUE(DotNetInstaller::IsDotNetInstalled("2.0"));
    forget();

    EXPECT_THROW(DotNetInstaller::installDotNet("3.5", [](const std::string&) {}),
                 vx::install::ArgumentError);
}

} // namespace
