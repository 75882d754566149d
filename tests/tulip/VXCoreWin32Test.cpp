// tulip.vxcore.config and tulip.vxcore.search through the path call, under Wine:
// the configuration files in the prefix's C:/ProgramData/vxi, the search protection
// flag with HKEY_CURRENT_USER redirected to a scratch key of this process, and the
// search component stand-in registered (or not) in the prefix. One process per test,
// so every test starts with empty configuration caches.
#include "external/ExternalInterfaceSerializer.h"
#include "runtime/Paths.h"
#include "runtime/Process.h"
#include "runtime/win32/ComInit.h"
#include "runtime/win32/Handle.h"
#include "support/CapturedLog.h"
#include "support/DroppedLog.h"
#include "support/FakeApplication.h"
#include "support/win32/RedirectedRegistry.h"
#include "support/win32/TestPaths.h"
#include "tulip/TulipNamespace.h"
#include "vx/application/ApplicationInfo.h"
#include "vx/vxpath.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::CapturedLog;
using vx::Variant;

const std::string kNull = "Caught an Exception resolving a tulip call and now returning null";

Variant call(const std::vector<std::string>& path, const Variant::List& args = {}) {
    tulip::TulipNamespace root(std::make_shared<testing_support::FakeApplication>());
    return root.callPath(path, args);
}

// The reply as the movie gets it; the writer's own log line is not the function's.
std::string written(const Variant& value) {
    testing_support::DroppedLog quiet;
    return external::serializeReturn(value);
}

std::string reply(const std::vector<std::string>& path, const Variant::List& args = {}) {
    const Variant value = call(path, args);
    return written(value);
}

void writeFile(const std::string& path, const std::string& text) {
    fs::create_directories(runtime::pathFromUtf8(path).parent_path());
    std::ofstream(runtime::pathFromUtf8(path), std::ios::binary) << text;
}

std::string dataFile(const std::string& relative) {
    return vx::vxpath::GetCommonDataDirectory() + "/" + relative;
}

// --- configuration ------------------------------------------------------------------

class ConfigFunctions : public testing::Test {
protected:
    void SetUp() override {
        writeFile(dataFile("config/desktopconfig.cfg"),
                  "coredir = C:/Program Files/Brivola\n"
                  "[appregistry]\n[[cfgapp]]\ninstalled = 1\n");
        writeFile(dataFile("config/desktopdata.cfg"), "version = 4.2\n");
        writeFile(dataFile("cfgapp/config/appdata.cfg"), "[search]\ndefault = MSN\n");
        writeFile(dataFile("cfgapp/config/appconfig.cfg"), "mode = quiet\n");
    }
};

TEST_F(ConfigFunctions, KeyWalksAndWholeTrees) {
    struct Case {
        std::vector<std::string> path;
        Variant::List args;
        const char* reply; // null: the null reply
    };
    const Case cases[] = {
        {{"tulip", "vxcore", "config", "GetDesktopConfig"},
         {Variant("coredir")},
         "<string>C:/Program Files/Brivola</string>"},
        {{"tulip", "vxcore", "config", "GetDesktopConfig"},
         {Variant("appregistry"), Variant("cfgapp"), Variant("installed")},
         "<string>1</string>"},
        {{"tulip", "vxcore", "config", "GetDesktopConfig"},
         {},
         "<object><property id=\"coredir\"><string>C:/Program Files/Brivola</string></property>"
         "<property id=\"appregistry\"><object><property id=\"cfgapp\"><object>"
         "<property id=\"installed\"><string>1</string></property></object></property></object>"
         "</property></object>"},
        {{"tulip", "vxcore", "config", "GetDesktopData"},
         {Variant("version")},
         "<string>4.2</string>"},
        {{"tulip", "vxcore", "config", "GetAppData"},
         {Variant("cfgapp")},
         "<object><property id=\"search\"><object><property id=\"default\"><string>MSN</string>"
         "</property></object></property></object>"},
        {{"tulip", "vxcore", "config", "GetAppConfig"},
         {Variant("cfgapp"), Variant("mode")},
         "<string>quiet</string>"},
        // a key the section lacks, a key on a value, a missing file, arguments of the wrong kind
        {{"tulip", "vxcore", "config", "GetDesktopConfig"}, {Variant("nokey")}, nullptr},
        {{"tulip", "vxcore", "config", "GetDesktopConfig"},
         {Variant("coredir"), Variant("x")},
         nullptr},
        {{"tulip", "vxcore", "config", "GetAppData"}, {Variant("no-such-app")}, nullptr},
        {{"tulip", "vxcore", "config", "GetAppData"}, {}, nullptr},
        {{"tulip", "vxcore", "config", "GetAppData"}, {Variant(true)}, nullptr},
        {{"tulip", "vxcore", "config", "GetDesktopConfig"}, {Variant(2.0)}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.back() + " / " + std::to_string(c.args.size()) + " arguments");
        CapturedLog log;
        const std::string got = reply(c.path, c.args);
        if (c.reply == nullptr) {
            EXPECT_EQ(got, "<null/>");
            EXPECT_EQ(log.texts(), std::vector<std::string>{kNull});
        } else {
            EXPECT_EQ(got, c.reply);
            EXPECT_TRUE(log.texts().empty());
        }
    }
}

TEST_F(ConfigFunctions, GenSearchUrlCutsTheNumberAndTakesAddressesAsTheyAre) {
    writeFile(dataFile("cfgapp/config/appdata.cfg"),
              "[search]\n[[web]]\nurl = q=%(q)s&sbs=%(sbs)s\n");
    const std::vector<std::string> path = {"tulip", "vxcore", "search", "GenSearchUrl"};
    struct Case {
        Variant query;
        Variant sbs;
        const char* reply;
    };
    const Case cases[] = {
        {Variant("red fox"), Variant(2.9L), "<string>q=red+fox&amp;sbs=2</string>"},
        {Variant("red fox"), Variant(-2.9L), "<string>q=red+fox&amp;sbs=-2</string>"},
        {Variant("127.0.0.1"), Variant(0.0L), "<string>http://127.0.0.1</string>"},
        {Variant("red fox"), Variant("2"), "<null/>"},   // not a number
        {Variant("red fox"), Variant(1e12L), "<null/>"}, // no 32-bit integer
        {Variant(1.0L), Variant(2.0L), "<null/>"},
    };
    for (const Case& c : cases) {
        CapturedLog log;
        EXPECT_EQ(reply(path, {c.query, Variant("ie"), Variant("F"), c.sbs, Variant("cfgapp"),
                               Variant("web")}),
                  c.reply);
        ASSERT_FALSE(log.texts().empty());
        EXPECT_EQ(log.texts().front(), "GenSearchUrl");
    }
}

// --- search protection --------------------------------------------------------------

class SearchProtection : public testing::Test {
protected:
    void SetUp() override {
        registry_.emplace(L"user", std::initializer_list<HKEY>{HKEY_CURRENT_USER});
        ASSERT_TRUE(registry_->ok());
    }
    void TearDown() override {
        registry_.reset();
    }

    static void store(DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\VXI", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const runtime::win32::UniqueKey owner(key);
        ASSERT_EQ(
            RegSetValueExW(key, L"DefaultSearch", 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
    }
    static bool stored(DWORD& value) {
        DWORD size = sizeof value;
        DWORD type = 0;
        return RegGetValueW(HKEY_CURRENT_USER, L"Software\\VXI", L"DefaultSearch", RRF_RT_ANY,
                            &type, &value, &size) == ERROR_SUCCESS &&
               type == REG_DWORD;
    }
    static bool enabledByCall() {
        return call({"tulip", "vxcore", "search", "IsSearchProtectionEnabled"}).asBool();
    }

    std::optional<testing_support::RedirectedRegistry> registry_;
};

TEST_F(SearchProtection, StoredValuesRead) {
    EXPECT_FALSE(vx::application::ApplicationInfo<char>().isSearchProtectionEnabled()); // no key
    EXPECT_FALSE(enabledByCall());

    const DWORD one = 1, zero = 0, two = 2;
    const std::uint64_t wideOne = 1;
    struct Case {
        const char* what;
        DWORD type;
        const void* data;
        DWORD size;
        bool enabled;
    };
    const Case cases[] = {
        {"number 1", REG_DWORD, &one, 4, true},     {"number 0", REG_DWORD, &zero, 4, false},
        {"number 2", REG_DWORD, &two, 4, false},    {"text \"1\"", REG_SZ, L"1", 4, false},
        {"8 bytes", REG_QWORD, &wideOne, 8, false}, {"2 bytes", REG_BINARY, &one, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        store(c.type, c.data, c.size);
        EXPECT_EQ(vx::application::ApplicationInfo<char>().isSearchProtectionEnabled(), c.enabled);
        EXPECT_EQ(enabledByCall(), c.enabled);
    }
}

TEST_F(SearchProtection, EnableAndDisableWriteTheNumber) {
    CapturedLog log;
    EXPECT_EQ(written(call({"tulip", "vxcore", "search", "EnableSearchProtection"})), "");
    DWORD value = 7;
    ASSERT_TRUE(stored(value));
    EXPECT_EQ(value, 1u);
    EXPECT_TRUE(enabledByCall());

    EXPECT_EQ(written(call({"tulip", "vxcore", "search", "DisableSearchProtection"})), "");
    ASSERT_TRUE(stored(value));
    EXPECT_EQ(value, 0u);
    EXPECT_FALSE(enabledByCall());
    EXPECT_TRUE(log.texts().empty());
}

TEST_F(SearchProtection, ReadOnlyUserKeyNeverFailsTowardsTheMovie) {
    // HKEY_CURRENT_USER redirected to a read-only handle of our scratch key: Windows
    // refuses to create "Software\VXI" below it (Wine may not; then the key lands in the
    // scratch key, which TearDown removes). Either way the movie gets no error.
    HKEY readOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExW(registry_->scratch(), nullptr, 0, KEY_READ, &readOnly), ERROR_SUCCESS);
    const runtime::win32::UniqueKey owner(readOnly);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, readOnly), ERROR_SUCCESS);
    CapturedLog log;
    EXPECT_FALSE(enabledByCall());
    EXPECT_TRUE(call({"tulip", "vxcore", "search", "EnableSearchProtection"})
                    .is(Variant::Kind::NullPointer));
    EXPECT_TRUE(log.texts().empty());
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, registry_->scratch()), ERROR_SUCCESS);
}

// --- the search component -----------------------------------------------------------

class SearchComponent : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(com_.result()));
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, temp);
        folder_ = fs::path(temp) / ("vxsearch-" + std::to_string(GetCurrentProcessId()));
        fs::create_directories(folder_);
        exe_ = folder_ / "vxsearch.exe";
        fs::copy_file(runtime::pathFromUtf8(testing_support::wineVisible(VXSEARCH_EXE)), exe_,
                      fs::copy_options::overwrite_existing);
        std::ofstream(folder_ / "vxsearch.ini")
            << "[Brivola]\ntext = Search the web\nbrand = Brivola Search\n";
    }
    void TearDown() override {
        run("/UnregServer");
        std::error_code ignored;
        fs::remove_all(folder_, ignored); // the server may still be ending
    }
    int run(const char* option) {
        return runtime::Process::start({runtime::utf8FromPath(exe_), option}).wait().code;
    }
    static std::string searchCall(const char* function, const char* app) {
        return reply({"tulip", "vxcore", "search", function}, {Variant(app)});
    }

    runtime::win32::ComInit com_;
    fs::path folder_;
    fs::path exe_;
};

TEST_F(SearchComponent, RegisteredComponentAnswers) {
    ASSERT_EQ(run("/RegServer"), 0);
    struct Case {
        const char* function;
        const char* app;
        const char* reply;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"GetSearchTextForApp",
         "Brivola",
         "<string>Search the web</string>",
         {"GetSearchTextForApp", "HRESULT for GetSearchTextForApp: 0"}},
        {"GetSearchBrandForApp",
         "Brivola",
         "<string>Brivola Search</string>",
         {"GetSearchBrandForApp"}},
        // unknown application: HRESULT_FROM_WIN32(ERROR_NOT_FOUND), no string
        {"GetSearchTextForApp",
         "Unknown",
         "<string></string>",
         {"GetSearchTextForApp", "HRESULT for GetSearchTextForApp: -2147023728"}},
        {"GetSearchBrandForApp", "Unknown", "<string></string>", {"GetSearchBrandForApp"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.function) + " " + c.app);
        CapturedLog log;
        EXPECT_EQ(searchCall(c.function, c.app), c.reply);
        EXPECT_EQ(log.texts(), c.lines);
    }
}

TEST_F(SearchComponent, UnregisteredComponentGivesTheNullReply) {
    ASSERT_EQ(run("/RegServer"), 0);
    ASSERT_EQ(run("/UnregServer"), 0);
    for (const char* function : {"GetSearchTextForApp", "GetSearchBrandForApp"}) {
        CapturedLog log;
        EXPECT_EQ(searchCall(function, "Brivola"), "<null/>");
        EXPECT_EQ(log.texts(), (std::vector<std::string>{function, kNull}));
    }
}

} // namespace
