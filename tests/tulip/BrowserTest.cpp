// The Firefox test against the real registry, with HKEY_LOCAL_MACHINE redirected to a
// scratch key of this process for each test.
#include "tulip/browser/Browser.h"

#include "runtime/win32/Handle.h"
#include "support/CapturedLog.h"
#include "support/win32/RedirectedRegistry.h"
#include "tulip/TulipNamespace.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using runtime::win32::UniqueKey;
using testing_support::CapturedLog;

const wchar_t* const kFirefoxKey = L"SOFTWARE\\Mozilla\\Mozilla Firefox";
const wchar_t* const kVersion = L"115.0 (x86 en-US)";

std::wstring tempFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    return std::wstring(buffer, length);
}

class FirefoxRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        registry_.emplace(L"machine", std::initializer_list<HKEY>{HKEY_LOCAL_MACHINE});
        ASSERT_TRUE(registry_->ok());
        // Nothing below may touch the prefix's real machine key.
        ASSERT_TRUE(createKey(registry_->scratch(), L"redirected"));
        HKEY seen = nullptr;
        const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"redirected", 0, KEY_READ, &seen);
        const UniqueKey seenOwner(opened == ERROR_SUCCESS ? seen : nullptr);
        ASSERT_EQ(opened, ERROR_SUCCESS);
    }

    void TearDown() override {
        registry_.reset();
        for (const std::wstring& file : files_) {
            DeleteFileW(file.c_str());
        }
    }

public:
    // Creates `path` under `parent`, by default the (redirected) machine key.
    static UniqueKey createKey(HKEY parent, const std::wstring& path) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        return UniqueKey(key);
    }
    static UniqueKey createKey(const std::wstring& path) {
        return createKey(HKEY_LOCAL_MACHINE, path);
    }

    static void setText(HKEY key, const wchar_t* name, const std::wstring& value) {
        ASSERT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }

    static void setNumber(HKEY key, const wchar_t* name, DWORD value) {
        ASSERT_EQ(RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                 sizeof value),
                  ERROR_SUCCESS);
    }

    // The Firefox key naming kVersion, whose "\Main" names `exe`.
    void installAt(const std::wstring& exe) {
        setText(createKey(kFirefoxKey).get(), L"CurrentVersion", kVersion);
        setText(createKey(std::wstring(kFirefoxKey) + L"\\" + kVersion + L"\\Main").get(),
                L"PathToExe", exe);
    }

    // A new empty file in the temporary folder, deleted after the test.
    std::wstring makeFile(const std::wstring& name) {
        const std::wstring path = tempFolder() + name;
        runtime::win32::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                                          nullptr));
        EXPECT_TRUE(file.valid());
        files_.push_back(path);
        return path;
    }

    static bool installed() {
        const vx::Variant answer = tulip::browser::IsFirefoxInstalled({}, nullptr);
        EXPECT_TRUE(answer.is(vx::Variant::Kind::Bool));
        return answer.is(vx::Variant::Kind::Bool) && answer.asBool();
    }

private:
    std::optional<testing_support::RedirectedRegistry> registry_;
    std::vector<std::wstring> files_;
};

TEST_F(FirefoxRegistry, NotInstalledWithoutTheKey) {
    EXPECT_FALSE(installed());
}

TEST_F(FirefoxRegistry, NotInstalledWhenTheVersionHasNoMainSubkey) {
    setText(createKey(kFirefoxKey).get(), L"CurrentVersion", kVersion);
    createKey(std::wstring(kFirefoxKey) + L"\\" + kVersion);
    EXPECT_FALSE(installed());
}

TEST_F(FirefoxRegistry, InstalledExactlyWhenPathToExeNamesSomethingThatExists) {
    const std::wstring deleted = makeFile(L"brivola-firefox-gone.exe");
    ASSERT_TRUE(DeleteFileW(deleted.c_str()));
    struct Case {
        const char* what;
        std::wstring exe;
        bool installed;
    };
    const Case cases[] = {
        {"a deleted file", deleted, false},
        {"a file", makeFile(L"brivola-firefox.exe"), true},
        {"a file with a non-ASCII name", makeFile(L"brivola-f\u00efr\u00e9fox.exe"), true},
        {"a folder", tempFolder(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        installAt(c.exe);
        EXPECT_EQ(installed(), c.installed);
    }
}

// A value that is there but cannot be read fails the call; the path call answers
// null for it.
TEST_F(FirefoxRegistry, AnUnreadableValueAnswersNullThroughThePathCall) {
    struct Case {
        const char* what;
        void (*arrange)(FirefoxRegistry&);
    };
    const Case cases[] = {
        {"CurrentVersion is a number",
         [](FirefoxRegistry& t) {
             t.installAt(tempFolder());
             setNumber(t.createKey(kFirefoxKey).get(), L"CurrentVersion", 115);
         }},
        {"CurrentVersion is missing", [](FirefoxRegistry& t) { t.createKey(kFirefoxKey); }},
        {"PathToExe is missing",
         [](FirefoxRegistry& t) {
             setText(t.createKey(kFirefoxKey).get(), L"CurrentVersion", kVersion);
             t.createKey(std::wstring(kFirefoxKey) + L"\\" + kVersion + L"\\Main");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Mozilla");
        c.arrange(*this);
        CapturedLog log;
        tulip::TulipNamespace root(nullptr);
        const std::vector<std::string> path = {"tulip", "browser", "IsFirefoxInstalled"};
        EXPECT_TRUE(root.callPath(path, {}).empty());
        EXPECT_EQ(log.texts(),
                  (std::vector<std::string>{
                      "Caught an Exception resolving a tulip call and now returning null"}));
    }
}

} // namespace
