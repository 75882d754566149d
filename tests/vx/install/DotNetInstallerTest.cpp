// The .NET Framework presence test against the real registry, with
// HKEY_LOCAL_MACHINE redirected to a scratch key of this process for each test.
#include "vx/install/DotNetInstaller.h"

#include "runtime/win32/Handle.h"
#include "support/win32/RedirectedRegistry.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

using runtime::win32::UniqueKey;
using vx::install::DotNetInstaller;

class DotNetRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        registry_.emplace(L"dotnet", std::initializer_list<HKEY>{HKEY_LOCAL_MACHINE});
        ASSERT_TRUE(registry_->ok());
    }

    void TearDown() override { registry_.reset(); }

    // Empties the redirected machine key.
    void clear() { ASSERT_TRUE(registry_->clear()); }

    static UniqueKey key(const std::wstring& path) {
        HKEY k = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &k, nullptr),
                  ERROR_SUCCESS);
        return UniqueKey(k);
    }

    static void set(const std::wstring& path, const wchar_t* name, DWORD type, const void* data,
                    DWORD size) {
        ASSERT_EQ(
            RegSetValueExW(key(path).get(), name, 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
    }
    static void dword(const std::wstring& path, const wchar_t* name, DWORD value) {
        set(path, name, REG_DWORD, &value, sizeof value);
    }
    static void text(const std::wstring& path, const wchar_t* name, const std::wstring& value,
                     DWORD type = REG_SZ) {
        set(path, name, type, value.c_str(),
            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }

private:
    std::optional<testing_support::RedirectedRegistry> registry_;
};

const std::wstring kNdp = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\";
const std::wstring kV10 = L"SOFTWARE\\Microsoft\\.NETFramework\\policy\\v1.0";

TEST_F(DotNetRegistry, DetectionTable) {
    struct Case {
        const char* what;
        const char* version;
        std::function<void()> setUp;
        bool installed;
    };
    const std::wstring v20 = kNdp + L"v2.0.50727";
    const Case cases[] = {
        {"no key", "2.0", [] {}, false},
        {"key without value", "2.0", [&] { key(v20); }, false},
        {"Install = 1", "2.0", [&] { dword(v20, L"Install", 1); }, true},
        {"Install = 0", "2.0", [&] { dword(v20, L"Install", 0); }, false},
        {"Install = 2", "2.0", [&] { dword(v20, L"Install", 2); }, false},
        {"Install as text", "2.0", [&] { text(v20, L"Install", L"1"); }, false},
        {"Install as 8 bytes", "2.0",
         [&] {
             const unsigned long long one = 1;
             set(v20, L"Install", REG_QWORD, &one, sizeof one);
         },
         false},
        {"1.1", "1.1", [&] { dword(kNdp + L"v1.1.4322", L"Install", 1); }, true},
        {"3.0 reads InstallSuccess", "3.0",
         [&] { dword(kNdp + L"v3.0\\Setup", L"InstallSuccess", 1); }, true},
        {"3.0 ignores Install", "3.0", [&] { dword(kNdp + L"v3.0\\Setup", L"Install", 1); }, false},
        {"3.5", "3.5", [&] { dword(kNdp + L"v3.5", L"Install", 1); }, true},
        {"2.0 is not 3.5", "3.5", [&] { dword(v20, L"Install", 1); }, false},
        {"1.0 exact text", "1.0", [&] { text(kV10, L"3705", L"3321-3705"); }, true},
        {"1.0 expandable text", "1.0", [&] { text(kV10, L"3705", L"3321-3705", REG_EXPAND_SZ); },
         true},
        {"1.0 other text", "1.0", [&] { text(kV10, L"3705", L"3321-3705 "); }, false},
        {"1.0 as number", "1.0", [&] { dword(kV10, L"3705", 1); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clear();
        c.setUp();
        EXPECT_EQ(DotNetInstaller::IsDotNetInstalled(c.version), c.installed);
    }
}

TEST_F(DotNetRegistry, VersionsOutsideTheTableAreRefused) {
    for (const char* version : {"4.0", "2", "2.0 ", " 2.0", "", "v2.0"}) {
        try {
            DotNetInstaller::IsDotNetInstalled(version);
            ADD_FAILURE() << "accepted '" << version << "'";
        } catch (const vx::install::ArgumentError& e) {
            EXPECT_EQ(std::string(e.what()), std::string("Invalid build number: ") + version);
        }
    }
}

TEST(DotNetProgress, PercentagesOfTheExpectedLength) {
    struct Case {
        std::int32_t read;
        std::int32_t length;
        const char* text; // null: no text
    };
    const Case cases[] = {
        {300, 1000, "Downloading .NET Framework: 30% complete"},
        {600, 1000, "Downloading .NET Framework: 60% complete"},
        {900, 1000, "Downloading .NET Framework: 90% complete"},
        {1000, 1000, "Downloading .NET Framework: 100% complete"},
        {1, 3, "Downloading .NET Framework: 33% complete"}, // truncated, not rounded
        {2, 3, "Downloading .NET Framework: 66% complete"},
        {2147483647, 2147483647, "Downloading .NET Framework: 100% complete"},
        {500, -1, nullptr}, // no length given
        {0, 0, nullptr},
    };
    for (const Case& c : cases) {
        const auto text = DotNetInstaller::downloadProgressText(c.read, c.length);
        if (c.text) {
            EXPECT_EQ(text, std::optional<std::string>(c.text)) << c.read << "/" << c.length;
        } else {
            EXPECT_FALSE(text) << c.read << "/" << c.length;
        }
    }
}

} // namespace
