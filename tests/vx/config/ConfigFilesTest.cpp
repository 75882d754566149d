// The five files of a data folder: caching, and the one change the program makes,
// which must never disturb a thread reading the cached tree meanwhile.
#include "vx/config/ConfigFiles.h"

#include "runtime/Paths.h"
#include "vx/Exception.h"
#include "vx/config/ConfigScalar.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace vx::config;

class ConfigFilesTest : public testing::Test {
protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / (std::string("config_files_") + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "config");
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string folder() const { return runtime::utf8FromPath(dir_); }
    void write(const std::string& relative, const std::string& text) {
        fs::create_directories((dir_ / relative).parent_path());
        std::ofstream(dir_ / relative, std::ios::binary) << text;
    }
    std::string read(const std::string& relative) const {
        std::ifstream in(dir_ / relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static std::string text(const std::shared_ptr<ConfigBase>& node) {
        return std::dynamic_pointer_cast<ConfigText>(node)->value();
    }

    ConfigParser parser_;
    fs::path dir_;
};

TEST_F(ConfigFilesTest, EachFileIsReadOnceFromItsPlace) {
    write("config/desktopdata.cfg", "f = desktopdata\n");
    write("config/desktopconfig.cfg", "f = desktopconfig\n");
    write("app/config/appdata.cfg", "f = appdata\n");
    write("app/config/appconfig.cfg", "f = appconfig\n");
    write("app/config/appuserconfig.cfg", "f = appuserconfig\n");
    ConfigFiles files(folder(), parser_);
    EXPECT_EQ(text(files.desktopData()->get("f")), "desktopdata");
    EXPECT_EQ(text(files.desktopConfig()->get("f")), "desktopconfig");
    EXPECT_EQ(text(files.appData("app")->get("f")), "appdata");
    EXPECT_EQ(text(files.appConfig("app")->get("f")), "appconfig");
    EXPECT_EQ(text(files.appUserConfig("app")->get("f")), "appuserconfig");

    write("config/desktopconfig.cfg", "f = changed by somebody else\n");
    EXPECT_EQ(files.desktopConfig(), files.desktopConfig());
    EXPECT_EQ(text(files.desktopConfig()->get("f")), "desktopconfig");
    EXPECT_THROW(files.appData("other"), vx::VXFileException);
}

TEST_F(ConfigFilesTest, ChangeSavesANewTreeAndLeavesTheOldOneAsItWas) {
    write("config/desktopconfig.cfg", "desktopid = d\n[search]\ninitialprovider = MSN\n");
    ConfigFiles files(folder(), parser_);
    const auto before = files.desktopConfig();

    files.changeDesktopConfig([](Config& tree) {
        setValueAt({"search", "MSN", "searchcohort", "ie", "1"}, tree);
    });

    const auto after = files.desktopConfig();
    EXPECT_NE(after, before);
    EXPECT_EQ(ConfigParser::toText(*before), "desktopid = d\n[search]\ninitialprovider = MSN\n");
    const std::string expected =
        "desktopid = d\n[search]\ninitialprovider = MSN\n[[MSN]]\n[[[searchcohort]]]\nie = 1\n";
    EXPECT_EQ(ConfigParser::toText(*after), expected);
    EXPECT_EQ(read("config/desktopconfig.cfg"), expected);
    EXPECT_EQ(ConfigParser::toText(*ConfigFiles(folder(), parser_).desktopConfig()), expected);
}

TEST_F(ConfigFilesTest, FailedChangeLeavesFileAndTreeAsTheyWere) {
    write("config/desktopconfig.cfg", "search = a value, not a section\n");
    ConfigFiles files(folder(), parser_);
    const auto before = files.desktopConfig();
    EXPECT_THROW(files.changeDesktopConfig([](Config& tree) {
        tree.setString("touched", "yes");
        setValueAt({"search", "MSN", "x"}, tree); // "Invalid operation!"
    }),
                 vx::VXException);
    EXPECT_EQ(files.desktopConfig(), before);
    EXPECT_EQ(before->find("touched"), nullptr);
    EXPECT_EQ(read("config/desktopconfig.cfg"), "search = a value, not a section\n");

    ConfigFiles missing((dir_ / "nothing").string(), parser_);
    EXPECT_THROW(missing.changeDesktopConfig([](Config&) {}), vx::VXFileException);
}

// Readers walk the cached tree over and over while changes are made and saved.
TEST_F(ConfigFilesTest, ReadersAreUndisturbedByChanges) {
    write("config/desktopconfig.cfg", "[appregistry]\n[[a]]\ninstalled = 1\n");
    ConfigFiles files(folder(), parser_);
    std::atomic<bool> done{false};
    std::atomic<int> walks{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 2; ++r) {
        readers.emplace_back([&] {
            while (!done.load()) {
                const auto tree = files.desktopConfig();
                int seen = 0;
                tree->forEach([&](const std::string&, const std::shared_ptr<ConfigBase>& node) {
                    if (auto section = std::dynamic_pointer_cast<Config>(node)) {
                        section->forEach(
                            [&](const std::string&, const std::shared_ptr<ConfigBase>&) {
                                ++seen;
                                return 0;
                            });
                    }
                    return 0;
                });
                EXPECT_GE(seen, 1);
                ++walks;
            }
        });
    }
    for (int i = 0; i < 50; ++i) {
        files.changeDesktopConfig([i](Config& tree) {
            setValueAt({"appregistry", "app" + std::to_string(i), "installed", "x"}, tree);
        });
    }
    done = true;
    for (auto& t : readers) {
        t.join();
    }
    EXPECT_GT(walks.load(), 0);
    EXPECT_EQ(
        std::dynamic_pointer_cast<Config>(files.desktopConfig()->get("appregistry"))->keys().size(),
        51u);
}

TEST(ConfigClone, CopiesSectionsAndKeepsOrderAndPath) {
    const auto root = ConfigParser().parse("z = 1\n[b]\nk = v\n[[c]]\n[a]\n");
    root->setFilePath("/somewhere/file.cfg");
    const auto copy = root->clone();
    EXPECT_EQ(ConfigParser::toText(*copy), ConfigParser::toText(*root));
    EXPECT_EQ(copy->getFilePath(), root->getFilePath());
    auto copiedB = std::dynamic_pointer_cast<Config>(copy->get("b"));
    EXPECT_NE(copiedB, root->get("b"));
    EXPECT_EQ(copiedB->getFilePath(), root->getFilePath());
    copiedB->setString("added", "x");
    EXPECT_EQ(std::dynamic_pointer_cast<Config>(root->get("b"))->find("added"), nullptr);
}

} // namespace
