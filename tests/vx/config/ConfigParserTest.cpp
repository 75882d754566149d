#include "vx/config/ConfigParser.h"

#include "vx/Exception.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using vx::config::Config;
using vx::config::ConfigBase;
using vx::config::ConfigParser;
using vx::config::ConfigText;

// The tree as one line per node, "path=value" for texts and "path/" for sections, in
// entry order: compact enough to compare whole trees in one expectation.
void describe(const Config& section, const std::string& prefix, std::vector<std::string>& out) {
    section.forEach([&](const std::string& key, const std::shared_ptr<ConfigBase>& node) {
        if (auto child = std::dynamic_pointer_cast<Config>(node)) {
            out.push_back(prefix + key + "/");
            describe(*child, prefix + key + "/", out);
        } else if (auto text = std::dynamic_pointer_cast<ConfigText>(node)) {
            out.push_back(prefix + key + "=" + text->value());
        } else {
            out.push_back(prefix + key + " (not text)");
        }
        return 0;
    });
}

std::vector<std::string> describe(const Config& root) {
    std::vector<std::string> out;
    describe(root, "", out);
    return out;
}

std::string failureOf(const std::string& text) {
    try {
        ConfigParser().parse(text);
    } catch (const vx::VXException& error) {
        return error.message();
    }
    return "(no failure)";
}

TEST(ConfigParser, SectionHeaders) {
    struct Case {
        std::string line;
        std::size_t level;
        std::string name; // empty: fails with "Level mismatch!"
    };
    const Case cases[] = {
        {"[]", 0, ""},
        {"[[]]", 0, ""},
        {"[ a ]", 1, "a"},
        {"[ [ a ] ]", 2, "a"},
        {"[a[b]", 1, "a[b"},
        {"[a] x", 0, ""},
        {"[[x]", 0, ""},
        {"[x]]", 0, ""},
        {"[appregistry]", 1, "appregistry"},
        {"[[[deep name]]]", 3, "deep name"},
        {"[\ta]", 1, "\ta"}, // only spaces are skipped inside the bracket runs
        {"[]]", 1, "]"},     // the name always keeps at least one character
        {"[", 0, ""},
        {"[ ", 0, ""},
    };
    ConfigParser parser;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        if (c.name.empty()) {
            try {
                parser.parseSectionHeader(c.line);
                ADD_FAILURE() << "no failure";
            } catch (const vx::VXException& error) {
                EXPECT_EQ(error.message(), "Level mismatch!");
            }
        } else {
            const auto [level, name] = parser.parseSectionHeader(c.line);
            EXPECT_EQ(level, c.level);
            EXPECT_EQ(name, c.name);
        }
    }
}

TEST(ConfigParser, SkippedLines) {
    ConfigParser parser;
    EXPECT_TRUE(parser.isSkippedLine(""));
    EXPECT_TRUE(parser.isSkippedLine("#"));
    EXPECT_TRUE(parser.isSkippedLine("# settings"));
    EXPECT_FALSE(parser.isSkippedLine("a # b"));
    EXPECT_FALSE(parser.isSkippedLine("[#]"));
}

TEST(ConfigParser, WellFormedFile) {
    const auto root = ConfigParser().parse("# settings\n"
                                           "coredir = D:\\Core\n"
                                           "[appregistry]\n"
                                           "[[alpha]]\n"
                                           "home = D:\\Alpha\n"
                                           "[beta]\n");
    const std::vector<std::string> expected = {
        "coredir=D:\\Core",
        "appregistry/",
        "appregistry/alpha/",
        "appregistry/alpha/home=D:\\Alpha",
        "beta/",
    };
    EXPECT_EQ(describe(*root), expected);
    EXPECT_EQ(root->getFilePath(), std::nullopt);
}

TEST(ConfigParser, EntryLines) {
    struct Case {
        std::string line;
        std::vector<std::string> entries; // of the section, after the line
    };
    const Case cases[] = {
        {"   # note", {}},
        {"key = value # note", {"key=value # note"}},
        {"key=", {"key="}},
        {"= v", {"=v"}},
        {"a = b = c", {"a=b = c"}},
        {"  k =  v  ", {"k=v"}},
        {"\tk\t=\tv\f\v", {"k=v"}},
        {"true = 42", {"true=42"}},
        {"a\tb = c d", {"a\tb=c d"}},
        {"word", {}},                               // no "=": skipped
        {"  lone text  ", {}},                      // likewise
        {"\xEF\xBB\xBFk = v", {"\xEF\xBB\xBFk=v"}}, // a byte-order mark is part of the key
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const auto root = ConfigParser().parse("[s]\n" + c.line + "\n");
        auto section = std::dynamic_pointer_cast<Config>(root->get("s"));
        ASSERT_NE(section, nullptr);
        EXPECT_EQ(describe(*section), c.entries);
        EXPECT_EQ(root->keys(), std::vector<std::string>{"s"});
    }
}

TEST(ConfigParser, EmptyInputsGiveAnEmptyRoot) {
    for (const std::string text : {"", "\n", "  \n\t\r\n", "# a\n   # b\n\n#c", "\r\n\r\n"}) {
        SCOPED_TRACE(text);
        EXPECT_TRUE(ConfigParser().parse(text)->keys().empty());
    }
}

TEST(ConfigParser, RepeatsReplaceButKeepTheirPlace) {
    const auto root = ConfigParser().parse("k = 1\n"
                                           "j = 2\n"
                                           "k = 3\n"
                                           "[a]\n"
                                           "x = old\n"
                                           "[b]\n"
                                           "[a]\n"
                                           "y = new\n");
    const std::vector<std::string> expected = {"k=3", "j=2", "a/", "a/y=new", "b/"};
    EXPECT_EQ(describe(*root), expected);
}

TEST(ConfigParser, NestingFollowsTheLevels) {
    const auto root = ConfigParser().parse("[a]\n"
                                           "[[b]]\n"
                                           "[[[c]]]\n"
                                           "in = c\n"
                                           "[[d]]\n"
                                           "in = d\n"
                                           "[e]\n"
                                           "in = e\n");
    const std::vector<std::string> expected = {
        "a/", "a/b/", "a/b/c/", "a/b/c/in=c", "a/d/", "a/d/in=d", "e/", "e/in=e",
    };
    EXPECT_EQ(describe(*root), expected);
}

TEST(ConfigParser, BadHeadersFailTheWholeRead) {
    EXPECT_EQ(failureOf("k = v\n[a]]\n"), "Level mismatch!");
    EXPECT_EQ(failureOf("[a]\n[[b]\n"), "Level mismatch!");
    // A level skipped on the way down is a mismatch too, whereas climbing back any
    // number of levels is fine.
    EXPECT_EQ(failureOf("[a]\n[[[c]]]\n"), "Level mismatch!");
    EXPECT_EQ(failureOf("[[a]]\n"), "Level mismatch!");
    EXPECT_EQ(failureOf("[a]\n[[b]]\n[[[c]]]\n[d]\n[[e]]\n"), "(no failure)");
}

TEST(ConfigParser, LineEndings) {
    const std::string lf = "a = 1\n[s]\nb = 2\n[[t]]\nc = 3";
    const std::string crlf = "a = 1\r\n[s]\r\nb = 2\r\n[[t]]\r\nc = 3\r\n";
    const std::vector<std::string> expected = {"a=1", "s/", "s/b=2", "s/t/", "s/t/c=3"};
    EXPECT_EQ(describe(*ConfigParser().parse(lf)), expected);
    EXPECT_EQ(describe(*ConfigParser().parse(crlf)), expected);
}

TEST(ConfigParser, AllValuesReadAsText) {
    const auto root = ConfigParser().parse("flag = true\nnumber = 42\n");
    EXPECT_TRUE(root->get("flag")->equalsString("true"));
    EXPECT_TRUE(root->get("number")->equalsString("42"));
    EXPECT_THROW(root->get("flag")->equalsBool(true), vx::VXException);
    EXPECT_THROW(root->get("number")->equalsInt(42), vx::VXException);
}

// Any bytes give a tree or "Level mismatch!"; and whatever tree they give, its written
// text reads back to the same text. Inputs are drawn from the characters that matter.
TEST(ConfigParser, ArbitraryInputs) {
    std::string alphabet = "[]=# \t\r\n\f\vab\xEF";
    alphabet.push_back('\0');
    std::uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    int trees = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const auto length = next() % 40;
        for (std::uint32_t i = 0; i < length; ++i) {
            text.push_back(alphabet[next() % alphabet.size()]);
        }
        SCOPED_TRACE(testing::PrintToString(text));
        std::shared_ptr<Config> root;
        try {
            root = ConfigParser().parse(text);
        } catch (const vx::VXException& error) {
            EXPECT_EQ(error.message(), "Level mismatch!");
            continue;
        }
        ++trees;
        const std::string written = ConfigParser::toText(*root);
        EXPECT_EQ(ConfigParser::toText(*ConfigParser().parse(written)), written);
    }
    EXPECT_GT(trees, 0);
}

// A node kind the writer does not know.
class OtherNode : public ConfigBase {
public:
    std::shared_ptr<ConfigBase> get(const std::string&) const override { return nullptr; }
    bool equalsBool(bool) const override { return false; }
    bool equalsString(std::string_view) const override { return false; }
    bool equalsInt(std::int32_t) const override { return false; }
    bool equalsNode(const ConfigBase&) const override { return false; }
};

TEST(ConfigParser, WrittenText) {
    auto root = std::make_shared<Config>();
    root->setString("coredir", "D:\\Core");
    auto registry = root->createSection();
    root->setEntry("appregistry", registry);
    auto alpha = registry->createSection();
    registry->setEntry("alpha", alpha);
    alpha->setString("home", "D:\\Alpha");
    alpha->setBool("on", true);
    alpha->setBool("off", false);
    alpha->setInt("min", INT32_MIN);
    alpha->setInt("max", INT32_MAX);
    alpha->setEntry("other", std::make_shared<OtherNode>());
    // Stored after a sub-section, yet written before it so that it reads back here.
    root->setString("late", "x");

    const std::string expected = "coredir = D:\\Core\n"
                                 "late = x\n"
                                 "[appregistry]\n"
                                 "[[alpha]]\n"
                                 "home = D:\\Alpha\n"
                                 "on = true\n"
                                 "off = false\n"
                                 "min = -2147483648\n"
                                 "max = 2147483647\n"
                                 "other = \n";
    EXPECT_EQ(ConfigParser::toText(*root), expected);
    EXPECT_EQ(ConfigParser::toText(Config()), "");
}

TEST(ConfigParser, WrittenTextReadsBackToTheSameTree) {
    const std::string text = "a = 1\n"
                             "[s]\n"
                             "b = x = y\n"
                             "[[t]]\n"
                             "c = # not a comment\n"
                             "[[u]]\n"
                             "[v]\n"
                             "d = \n";
    const auto root = ConfigParser().parse(text);
    EXPECT_EQ(ConfigParser::toText(*root), text);
}

class ConfigFileTest : public testing::Test {
protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / (std::string("config_tests_") + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    static void write(const std::string& file, const std::string& text) {
        std::ofstream(file, std::ios::binary) << text;
    }
    static std::string read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // The names in the test's folder, sorted.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
};

TEST_F(ConfigFileTest, EveryReadSectionKnowsItsFile) {
    const std::string file = path("app.cfg");
    write(file, "[a]\n[[b]]\nk = v\n");
    const auto root = ConfigParser().parseFile(file);
    auto a = std::dynamic_pointer_cast<Config>(root->get("a"));
    ASSERT_NE(a, nullptr);
    auto b = std::dynamic_pointer_cast<Config>(a->get("b"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(root->getFilePath(), file);
    EXPECT_EQ(b->getFilePath(), file);

    // Saving from deep inside writes the whole tree into the root's file.
    b->setBool("flag", true);
    b->save();
    EXPECT_EQ(read(file), "[a]\n[[b]]\nk = v\nflag = true\n");
    EXPECT_FALSE(fs::exists(file + ".new"));

    const auto again = ConfigParser().parseFile(file);
    auto flag = std::dynamic_pointer_cast<Config>(
                    std::dynamic_pointer_cast<Config>(again->get("a"))->get("b"))
                    ->get("flag");
    EXPECT_TRUE(flag->equalsString("true"));
}

TEST_F(ConfigFileTest, SaveCreatesAndReplaces) {
    const std::string file = path("new.cfg");
    Config root(file);
    root.setString("k", "1");
    root.save();
    EXPECT_EQ(read(file), "k = 1\n");
    root.setString("k", "2");
    root.save();
    EXPECT_EQ(read(file), "k = 2\n");
}

TEST_F(ConfigFileTest, FailedSaveKeepsTheOldFile) {
    // A target that cannot be replaced (a folder): the error reaches the caller, the
    // folder stays, and the text written beside it is cleaned up.
    const std::string folder = path("folder.cfg");
    fs::create_directories(fs::path(folder) / "inside");
    Config other(folder);
    other.setString("k", "v");
    EXPECT_THROW(other.save(), vx::VXFileException);
    EXPECT_TRUE(fs::is_directory(fs::path(folder) / "inside"));
    EXPECT_EQ(entries(), std::vector<std::string>{"folder.cfg"});
}

// Saving must touch nothing but the file itself, whatever lives beside it.
TEST_F(ConfigFileTest, SaveLeavesNeighboursAlone) {
    struct Case {
        const char* what;
        std::function<void(const std::string& file)> before;
        std::function<void(const std::string& file)> after;
    };
    const std::vector<Case> cases = {
        {"an unrelated <file>.new is kept",
         [](const std::string& file) { write(file + ".new", "somebody else's\n"); },
         [](const std::string& file) { EXPECT_EQ(read(file + ".new"), "somebody else's\n"); }},
        {"a folder named <file>.new is no obstacle",
         [](const std::string& file) { fs::create_directories(fs::path(file + ".new") / "x"); },
         [](const std::string& file) {
             EXPECT_TRUE(fs::is_directory(fs::path(file + ".new") / "x"));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        const std::string file = path("keep.cfg");
        write(file, "k = old\n");
        c.before(file);
        Config root(file);
        root.setString("k", "new");
        root.save();
        EXPECT_EQ(read(file), "k = new\n");
        c.after(file);
        EXPECT_EQ(entries(),
                  (std::vector<std::string>{"keep.cfg", "keep.cfg.new"})); // no leftovers
    }
}

#ifndef _WIN32
TEST_F(ConfigFileTest, SaveThroughALinkReplacesItsTargetAndKeepsTheMode) {
    fs::create_directories(dir_ / "real");
    const std::string target = path("real/settings.cfg");
    write(target, "k = old\n");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const std::string link = path("settings.cfg");
    fs::create_symlink("real/settings.cfg", link); // relative, as hand-made links often are

    Config root(link);
    root.setString("k", "new");
    root.save();

    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), fs::path("real/settings.cfg"));
    EXPECT_EQ(read(target), "k = new\n");
    EXPECT_EQ(fs::status(target).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(entries(), (std::vector<std::string>{"real", "settings.cfg"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "real"), fs::directory_iterator()), 1);
}
#endif

TEST_F(ConfigFileTest, UnreadableFilesFail) {
    ConfigParser parser;
    EXPECT_THROW(parser.parseFile(path("missing.cfg")), vx::VXFileException);
    EXPECT_THROW(parser.parseFile(dir_.string()), vx::VXFileException);
}

TEST_F(ConfigFileTest, BadHeaderInFileFails) {
    const std::string file = path("bad.cfg");
    write(file, "[a]\n[[b]\n");
    try {
        ConfigParser().parseFile(file);
        ADD_FAILURE() << "no failure";
    } catch (const vx::VXException& error) {
        EXPECT_EQ(error.message(), "Level mismatch!");
    }
    // The file was closed: it can be replaced at once.
    Config root(file);
    root.save();
    EXPECT_EQ(read(file), "");
}

} // namespace
