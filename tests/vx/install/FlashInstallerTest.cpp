// The trust file in the test prefix's real trust folder, and the Flash Player
// installer run (its failure paths; the whole run is in the end-to-end tests).
#include "vx/install/FlashInstaller.h"

#include "runtime/Paths.h"
#include "support/CapturedLog.h"
#include "vx/Exception.h"
#include "vx/vxpath.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
namespace FlashInstaller = vx::install::FlashInstaller;
using testing_support::CapturedLog;

class TrustFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = runtime::pathFromUtf8(vx::vxpath::GetFlashTrustDirectory());
        file = folder / FlashInstaller::kTrustFileName;
        fs::remove_all(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string read() const {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void write(const std::string& text) const {
        fs::create_directories(folder);
        std::ofstream(file, std::ios::binary) << text;
    }

    fs::path folder;
    fs::path file;
};

TEST_F(TrustFileTest, CreatesTheFolderAndOneLine) {
    CapturedLog log;
    FlashInstaller::writeTrustFile("C:\\ProgramData\\vxi\\.\\static");
    EXPECT_EQ(read(), "C:/ProgramData/vxi/static\r\n");
    EXPECT_EQ(log.texts(), (std::vector<std::string>{"Flash trust file being written",
                                                     "Flash trust file is written"}));
    // A second run leaves it as it is.
    FlashInstaller::writeTrustFile("C:/ProgramData/vxi/static");
    EXPECT_EQ(read(), "C:/ProgramData/vxi/static\r\n");
}

TEST_F(TrustFileTest, ExistingFiles) {
    struct Case {
        const char* before;
        const char* after; // the same as before: nothing written
    };
    const Case cases[] = {
        {"C:/ProgramData/vxi/static\r\n", "C:/ProgramData/vxi/static\r\n"},
        {"# other\nC:\\ProgramData\\vxi\\static\n", "# other\nC:\\ProgramData\\vxi\\static\n"},
        {"C:/ProgramData/vxi/other/../static", "C:/ProgramData/vxi/other/../static"},
        // Case counts; other lines stay as they are.
        {"c:/programdata/vxi/static\r\n",
         "c:/programdata/vxi/static\r\nC:/ProgramData/vxi/static\r\n"},
        {"D:/x\r\n", "D:/x\r\nC:/ProgramData/vxi/static\r\n"},
        {"", "C:/ProgramData/vxi/static\r\n"},
    };
    for (const Case& c : cases) {
        write(c.before);
        CapturedLog log;
        FlashInstaller::writeTrustFile("C:/ProgramData/vxi/static");
        EXPECT_EQ(read(), c.after) << c.before;
        const std::vector<std::string> lines = log.texts();
        const bool written = std::string(c.before) != c.after;
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "Flash trust file is written"),
                  written ? 1 : 0)
            << c.before;
    }
}

TEST_F(TrustFileTest, FailuresNameTheFolderOrTheFile) {
    // A file where the trust folder should be: it cannot be created.
    fs::create_directories(folder.parent_path());
    std::ofstream(folder) << "in the way";
    try {
        FlashInstaller::writeTrustFile("C:/ProgramData/vxi/static");
        ADD_FAILURE() << "no error";
    } catch (const vx::VXFileException& e) {
        EXPECT_EQ(e.message(), "Failed to create " + vx::vxpath::GetFlashTrustDirectory());
        EXPECT_TRUE(e.getCause());
    }
    fs::remove(folder);

    // The trust file held open by another writer: the unshared append fails.
    write("");
    const HANDLE held =
        CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    try {
        FlashInstaller::writeTrustFile("C:/ProgramData/vxi/static");
        ADD_FAILURE() << "no error";
    } catch (const vx::VXFileException& e) {
        EXPECT_EQ(e.message(), "Failed to write to file at " +
                                   vx::vxpath::join(vx::vxpath::GetFlashTrustDirectory(),
                                                    FlashInstaller::kTrustFileName));
        EXPECT_TRUE(e.getCause());
    }
    CloseHandle(held);
}

TEST(FlashInstall, ADownloadThatCannotBeMadeIsADownloadError) {
    CapturedLog log;
    // Nothing listens on port 9 of the loopback address.
    EXPECT_THROW(FlashInstaller::installFrom("http://127.0.0.1:9/installer.exe"),
                 vx::VXDownloadException);
    const std::vector<std::string> lines = log.texts();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Flash install starting");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Flash is installed"), 0);
}

} // namespace
