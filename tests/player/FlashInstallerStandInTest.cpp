// The stand-in Flash Player installer, run as the program runs it, and the player
// library reading what it wrote. It writes the prefix's real registration, so the
// test restores what was there before and runs alone (RUN_SERIAL).
#include "support/win32/TestPaths.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr char kClsid[] = "CLSID\\{D27CDB6E-AE6D-11cf-96B8-444553540000}";
constexpr char kFlashKey[] = "SOFTWARE\\Macromedia\\FlashPlayerActiveX";

bool keyExists(HKEY root, const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::string readString(HKEY root, const std::string& path, const char* name) {
    char buf[1024] = {};
    DWORD size = sizeof buf - 1;
    if (RegGetValueA(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
        return "<missing>";
    return buf;
}

DWORD run(const std::string& args, const std::string& record) {
    SetEnvironmentVariableA("BRIVOLA_FLASH_INSTALLER_RECORD", record.c_str());
    std::string command = "\"";
    command += testing_support::wineVisible(INSTALLER_EXE);
    command += "\" ";
    command += args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return 999;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 998;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class FlashInstallerStandIn : public ::testing::Test {
protected:
    void SetUp() override {
        hadClsid_ = keyExists(HKEY_CLASSES_ROOT, kClsid);
        hadFlash_ = keyExists(HKEY_LOCAL_MACHINE, kFlashKey);
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        record_ = std::string(dir) + "flash-installer-record-" +
                  std::to_string(GetCurrentProcessId()) + ".txt";
        DeleteFileA(record_.c_str());
    }
    void TearDown() override {
        if (!hadClsid_)
            RegDeleteTreeA(HKEY_CLASSES_ROOT, kClsid);
        if (!hadFlash_)
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, kFlashKey);
        DeleteFileA(record_.c_str());
    }
    bool hadClsid_ = false;
    bool hadFlash_ = false;
    std::string record_;
};

TEST_F(FlashInstallerStandIn, InstallsOnlyWhenSilentAndRecordsEveryRun) {
    if (hadClsid_ || hadFlash_)
        GTEST_SKIP() << "this prefix has a Flash registration already";
    EXPECT_EQ(run("", record_), 1u);
    EXPECT_EQ(run("/s", record_), 1u); // the switch is case-sensitive, as the vendor's is
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kFlashKey));
    EXPECT_EQ(run("/S", record_), 0u);

    const std::string exe = testing_support::wineVisible(INSTALLER_EXE);
    const std::string argv0 = std::to_string(exe.size()) + ":" + exe + "\n";
    // One block per run: the arguments, then an empty line.
    std::string expected;
    for (const char* arg : {"", "2:/s\n", "2:/S\n"}) {
        expected += argv0;
        expected.append(arg);
        expected += '\n';
    }
    EXPECT_EQ(readFile(record_), expected);

    EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, kFlashKey, "Version"), "10.0.45.2");
    const std::string control = readString(HKEY_LOCAL_MACHINE, kFlashKey, "PlayerPath");
    EXPECT_EQ(readString(HKEY_CLASSES_ROOT, std::string(kClsid) + "\\InprocServer32", nullptr),
              control);
    EXPECT_NE(GetFileAttributesA(control.c_str()), INVALID_FILE_ATTRIBUTES) << control;

    // The player library sees it installed, with the version packed.
    HMODULE player = LoadLibraryA(testing_support::wineVisible(PLAYER_DLL).c_str());
    ASSERT_NE(player, nullptr);
    auto installed = reinterpret_cast<BOOL(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(player, "FPCIsFlashInstalled")));
    auto version = reinterpret_cast<DWORD(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(player, "GetInstalledFlashVersion")));
    ASSERT_TRUE(installed && version);
    EXPECT_TRUE(installed());
    EXPECT_EQ(version(), 0x0A00002Du);
    FreeLibrary(player);
    DeleteFileA(control.c_str());
}

} // namespace
