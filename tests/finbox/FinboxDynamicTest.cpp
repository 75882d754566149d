// The control library loader against the double: written to a temporary file,
// loaded, resolved, unloaded and deleted; its failures; the Flash Player version test.
#include "finboxdynamic.h"
#include "finbox/FakeFinbox.h"
#include "support/CapturedLog.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using testing_support::CapturedLog;
using testing_support::FakeFinbox;

bool fileExists(const std::string& path) {
    return GetFileAttributesW(runtime::win32::widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(FinboxDynamic, WritesLoadsResolvesAndCleansUp) {
    CapturedLog log;
    std::string path;
    {
        FakeFinbox fake;
        path = finboxdynamic::libraryPath();
        ASSERT_FALSE(path.empty());
        EXPECT_TRUE(fileExists(path));
        // In the user's temporary folder.
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        // GetTempPathW ends with a separator.
        EXPECT_EQ(std::filesystem::path(runtime::win32::widen(path)).parent_path(),
                  std::filesystem::path(temp).parent_path())
            << path;
        const finboxdynamic::EntryPoints& e = finboxdynamic::entryPoints();
        for (const void* p :
             {(const void*)e.FPCIsFlashInstalled, (const void*)e.GetInstalledFlashVersion,
              (const void*)e.FPC_LoadRegisteredOCX, (const void*)e.FPCCallFunctionA,
              (const void*)e.FPCSetReturnValueA, (const void*)e.FPC_CreateWindowA,
              (const void*)e.FPC_SetContext, (const void*)e.FPCSetEventListener,
              (const void*)e.FPC_LoadMovieA, (const void*)e.FPC_PutAllowScriptAccessA}) {
            EXPECT_NE(p, nullptr);
        }
    }
    EXPECT_FALSE(fileExists(path));
    EXPECT_EQ(finboxdynamic::entryPoints().FPCCallFunctionA, nullptr);
    EXPECT_EQ(log.texts(),
              (std::vector<std::string>{
                  "FINBOX static this", "Static FINBOX destructor", "Deleting finbox dll: " + path,
                  "Successfully deleted finbox dll", "Static FINBOX destructor Complete"}));
}

TEST(FinboxDynamic, AFileThatCannotBeDeletedIsLoggedAndLeft) {
    CapturedLog log;
    FakeFinbox fake;
    const std::string path = finboxdynamic::libraryPath();
    // Open without delete sharing: the deletion fails.
    const HANDLE held = CreateFileW(runtime::win32::widen(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    finboxdynamic::cleanUp();
    CloseHandle(held);
    const std::vector<std::string> lines = log.texts();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2].rfind("Error deleting finbox dll: ", 0), 0u)
        << lines[lines.size() - 2];
    EXPECT_EQ(lines.back(), "Static FINBOX destructor Complete");
    DeleteFileW(runtime::win32::widen(path).c_str());
}

TEST(FinboxDynamic, BadImagesFailAndLeaveNothing) {
    const std::vector<char> partial = testing_support::readImage(FAKE_FINBOX_PARTIAL_DLL);
    const std::vector<char> garbage(4096, 'x');
    for (const std::vector<char>* image : {&partial, &garbage}) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        const auto count = [&] {
            std::size_t n = 0;
            for (const auto& entry : std::filesystem::directory_iterator(temp)) {
                n += entry.path().filename().wstring().rfind(L"fib", 0) == 0;
            }
            return n;
        };
        const std::size_t before = count();
        EXPECT_THROW(finboxdynamic::initialiseFromImage(image->data(), image->size()),
                     finboxdynamic::LoadError);
        EXPECT_EQ(count(), before);
        EXPECT_TRUE(finboxdynamic::libraryPath().empty());
        EXPECT_EQ(finboxdynamic::entryPoints().FPCIsFlashInstalled, nullptr);
    }
}

TEST(FinboxDynamic, FlashVersionTest) {
    struct Case {
        bool installed;
        DWORD version;
        int major, minor;
        bool expected;
        const char* versionLine; // null: the version is not asked for
    };
    const Case cases[] = {
        {true, 0x0A000000, 10, 0, true, "Flash Version: 10.0"},
        {true, 0x0A2D0002, 10, 0, true, "Flash Version: 10.45"},
        {true, 0x09730000, 10, 0, false, "Flash Version: 9.115"},
        {true, 0x0B000000, 10, 0, true, "Flash Version: 11.0"},
        // Major and minor are compared each on its own.
        {true, 0x0B000000, 10, 5, false, "Flash Version: 11.0"},
        {false, 0x0A000000, 10, 0, false, nullptr},
    };
    FakeFinbox fake;
    for (const Case& c : cases) {
        CapturedLog log;
        fake.setFlash(c.installed, c.version);
        EXPECT_EQ(finboxdynamic::isFlashInstalled(c.major, c.minor), c.expected)
            << std::hex << c.version;
        if (c.versionLine) {
            EXPECT_EQ(log.texts(), std::vector<std::string>{c.versionLine});
        } else {
            EXPECT_TRUE(log.texts().empty());
        }
    }
}

} // namespace
