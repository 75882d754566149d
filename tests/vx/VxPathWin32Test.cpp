// Shell folders and the registry under Wine. HKEY_LOCAL_MACHINE is redirected to
// a scratch key for each test, so nothing of the prefix is changed.
#include "vx/vxpath.h"

#include "runtime/Exception.h"
#include "support/win32/RedirectedRegistry.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>

namespace {

class ScratchMachineKey : public ::testing::Test {
protected:
    void SetUp() override {
        registry_.emplace(L"vxpath", std::initializer_list<HKEY>{HKEY_LOCAL_MACHINE});
        ASSERT_TRUE(registry_->ok());
    }
    void TearDown() override { registry_.reset(); }
    void setInstallPath(DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Python\\PythonCore\\2.5\\InstallPath",
                                  0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key, nullptr, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    std::optional<testing_support::RedirectedRegistry> registry_;
};

TEST(VxPathWin32, SpecialFoldersAreNormalised) {
    const std::string data = vx::vxpath::GetCommonDataDirectory();
    EXPECT_EQ(data, "C:/ProgramData/vxi");
    EXPECT_EQ(vx::vxpath::GetAppDirectory("Brivola"), "C:/ProgramData/vxi/Brivola");
    EXPECT_EQ(vx::vxpath::GetSystemFolder(), "C:/windows/system32");
    EXPECT_EQ(vx::vxpath::GetFlashTrustDirectory(),
              "C:/windows/system32/Macromed/Flash/FlashPlayerTrust");
}

TEST_F(ScratchMachineKey, PythonFromTheRegistry) {
    const wchar_t folder[] = L"C:\\Python25\\";
    setInstallPath(REG_SZ, folder, sizeof(folder));
    EXPECT_EQ(vx::vxpath::GetPythonExe(), "C:/Python25/pythonw.exe");

    const wchar_t expand[] = L"%SystemDrive%\\Py\\.\\25";
    setInstallPath(REG_EXPAND_SZ, expand, sizeof(expand));
    EXPECT_EQ(vx::vxpath::GetPythonExe(), "%SystemDrive%/Py/25/pythonw.exe"); // not expanded

    const wchar_t unterminated[] = {L'C', L':', L'\\', L'P'};
    setInstallPath(REG_SZ, unterminated, sizeof(unterminated));
    EXPECT_EQ(vx::vxpath::GetPythonExe(), "C:/P/pythonw.exe");

    const DWORD number = 25;
    setInstallPath(REG_DWORD, &number, sizeof(number));
    EXPECT_EQ(vx::vxpath::GetPythonExe(), "pythonw.exe");
}

TEST_F(ScratchMachineKey, PythonKeyMissingIsAnError) {
    EXPECT_THROW(vx::vxpath::GetPythonExe(), runtime::Exception);
}

} // namespace
