// The product's configuration files under Wine, in the prefix's
// C:/ProgramData/vxi. One process per test, so every test starts with empty
// caches; tests that run side by side use application names of their own.
#include "vx/config/app.h"

#include "runtime/Paths.h"
#include "support/CapturedLog.h"
#include "vx/Exception.h"
#include "vx/application/Application.h"
#include "vx/config/ConfigScalar.h"
#include "vx/vxpath.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include <windows.h>

namespace {

namespace fs = std::filesystem;
using namespace vx::config;

// Written beside and moved into place, so a test reading the same file at the same
// time never sees it half-written.
void writeFile(const std::string& path, const std::string& text) {
    fs::create_directories(runtime::pathFromUtf8(path).parent_path());
    const std::string temporary = path + ".tmp" + std::to_string(GetCurrentProcessId());
    {
        std::ofstream out(runtime::pathFromUtf8(temporary), std::ios::binary);
        out << text;
    }
    fs::rename(runtime::pathFromUtf8(temporary), runtime::pathFromUtf8(path));
}

std::string configPath(const std::string& folder, const std::string& name) {
    return folder + "/config/" + name;
}

const std::string kDesktopConfig = "coredir = C:/Program Files/Brivola\n"
                                   "[appregistry]\n"
                                   "[[registry-app]]\n"
                                   "bindir = %(coredir)s/bin\n"
                                   "coredir = replaced\n"
                                   "[[empty-app]]\n"
                                   "[[plugin-app]]\n"
                                   "plugins = C:/x\n";

void writeDesktopConfig() {
    writeFile(configPath(vx::vxpath::GetCommonDataDirectory(), "desktopconfig.cfg"), kDesktopConfig);
}

TEST(ConfigApp, DesktopDataIsReadAgainAfterAFailureAndCachedAfterASuccess) {
    const std::string path = configPath(vx::vxpath::GetCommonDataDirectory(), "desktopdata.cfg");
    fs::remove(runtime::pathFromUtf8(path));
    EXPECT_THROW(app::GetDesktopData(), vx::VXFileException);

    writeFile(path, "version = 1\n");
    const auto first = app::GetDesktopData();
    EXPECT_TRUE(first->get("version")->equalsString("1"));

    writeFile(path, "version = 2\n"); // not seen: the tree stays cached
    const auto second = app::GetDesktopData();
    EXPECT_EQ(second, first);
    EXPECT_TRUE(second->get("version")->equalsString("1"));
    EXPECT_EQ(first->getFilePath(), std::optional<std::string>("C:/ProgramData/vxi/config/desktopdata.cfg"));
}

TEST(ConfigApp, PerApplicationFilesAreCachedByName) {
    const std::string folder = vx::vxpath::GetAppDirectory("cache-app");
    writeFile(configPath(folder, "appdata.cfg"), "kind = data\n");
    writeFile(configPath(folder, "appconfig.cfg"), "kind = config\n");
    writeFile(configPath(folder, "appuserconfig.cfg"), "kind = user\n");
    EXPECT_TRUE(app::GetAppData("cache-app")->get("kind")->equalsString("data"));
    EXPECT_TRUE(app::GetAppConfig("cache-app")->get("kind")->equalsString("config"));
    EXPECT_TRUE(app::GetAppUserConfig("cache-app")->get("kind")->equalsString("user"));
    EXPECT_EQ(app::GetAppData("cache-app"), app::GetAppData("cache-app"));
    EXPECT_THROW(app::GetAppData("no-such-app"), vx::VXFileException);
}

TEST(ConfigApp, ManyThreadsAskingAtOnceGetOneTree) {
    const std::string folder = vx::vxpath::GetAppDirectory("threads-app");
    writeFile(configPath(folder, "appconfig.cfg"), "a = 1\n[s]\nb = 2\n");
    std::vector<std::shared_ptr<Config>> seen(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&, i] {
            for (int k = 0; k < 50; ++k) {
                seen[i] = app::GetAppConfig("threads-app");
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (const auto& tree : seen) {
        EXPECT_EQ(tree, seen[0]);
    }
}

TEST(ConfigApp, AppRegistryTakesTheSectionAndCoredir) {
    writeDesktopConfig();
    const auto registry = app::GetAppRegistry("registry-app");
    const std::map<std::string, std::string> expected = {
        {"bindir", "%(coredir)s/bin"}, {"coredir", "C:/Program Files/Brivola"}};
    EXPECT_EQ(registry, expected);
    EXPECT_EQ(app::GetAppRegistry("empty-app"),
              (std::map<std::string, std::string>{{"coredir", "C:/Program Files/Brivola"}}));
    EXPECT_THROW(app::GetAppRegistry("unknown-app"), vx::VXException);
}

class Plugin : public vx::application::IVXContentContext {
public:
    void setApplication(std::shared_ptr<vx::application::IVXApplication> app) override {
        app_ = app;
        ++calls;
    }
    std::shared_ptr<vx::application::IVXApplication> getApplication() const override {
        return app_.lock();
    }
    int calls = 0;

private:
    std::weak_ptr<vx::application::IVXApplication> app_;
};

TEST(Application, RegistryIsSharedAndLaterRegistrationsWin) {
    auto app = std::make_shared<vx::application::VXApplication>("VXInstaller");
    auto other = std::make_shared<vx::application::VXApplication>("Other");
    EXPECT_EQ(app->name(), "VXInstaller");
    EXPECT_EQ(app->getInterface("IApplicationWindow"), nullptr);

    auto first = std::make_shared<Plugin>();
    auto second = std::make_shared<Plugin>();
    app->registerInterface("IApplicationWindow", first);
    other->registerInterface("IApplicationWindow", second);
    EXPECT_EQ(app->getInterface("IApplicationWindow"), second); // one registry per process
    EXPECT_EQ(first->calls, 1);
    EXPECT_EQ(second->calls, 1);
    EXPECT_EQ(first->getApplication().get(), app.get());
    EXPECT_EQ(second->getApplication().get(), other.get());
    EXPECT_EQ(app->getInterface("iapplicationwindow"), nullptr); // exact names
}

TEST(Application, LoadPlugins) {
    writeDesktopConfig();
    auto app = std::make_shared<vx::application::VXApplication>("registry-app");
    testing_support::CapturedLog log;

    ConfigParser parser;
    app->loadPlugins(*parser.parse("other = 1\n"));
    app->loadPlugins(*parser.parse("plugins = not a section\n"));
    app->loadPlugins(*parser.parse("[plugins]\nIVXContentContext = %(coredir)s\\plugins\\..\\content.dll:Create\n"));
    EXPECT_EQ(log.texts(), (std::vector<std::string>{
                               "loadPlugins", "No plugins to load!", "loadPlugins",
                               "No plugins to load!", "loadPlugins",
                               "Loading interface: IVXContentContext from library: C:/Program "
                               "Files/Brivola/content.dll factory function: Create",
                               "Finished loadPlugins"}));

    EXPECT_THROW(app->loadPlugins(*parser.parse("[plugins]\nIOther = a.dll:Make\n")),
                 runtime::Exception);
    EXPECT_THROW(app->loadPlugins(*parser.parse("[plugins]\nIVXContentContext = nofactory\n")),
                 runtime::Exception);
    EXPECT_THROW(app->loadPlugins(*parser.parse("[plugins]\nIVXContentContext = %(nope)s:F\n")),
                 runtime::Exception);
    const auto texts = log.texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Unknown plugin interface: IOther"), texts.end());
}

} // namespace
