#include "vx/config/Config.h"

#include "vx/Exception.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using vx::config::Config;
using vx::config::ConfigBase;
using vx::config::ConfigBool;
using vx::config::ConfigInt;
using vx::config::ConfigText;

// Runs `call` and returns the message of the VXException it throws.
template <class F> std::string failureOf(F&& call) {
    try {
        call();
    } catch (const vx::VXException& error) {
        return error.message();
    }
    return "(no failure)";
}

std::vector<std::pair<std::string, std::string>> textEntries(const Config& section) {
    std::vector<std::pair<std::string, std::string>> out;
    section.forEach([&](const std::string& key, const std::shared_ptr<ConfigBase>& node) {
        auto text = std::dynamic_pointer_cast<ConfigText>(node);
        out.emplace_back(key, text ? text->value() : "<not text>");
        return 0;
    });
    return out;
}

TEST(Config, ReplacedKeyKeepsItsFirstPlace) {
    Config root;
    root.setString("a", "1");
    root.setString("b", "2");
    root.setString("a", "3");
    const std::vector<std::pair<std::string, std::string>> expected = {{"a", "3"}, {"b", "2"}};
    EXPECT_EQ(textEntries(root), expected);

    // A node of another kind replaces the text in the same place.
    root.setInt("a", 7);
    EXPECT_EQ(root.keys(), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(root.get("a")->equalsInt(7));
}

TEST(Config, ForEachStopsAtFirstNonZeroResult) {
    Config root;
    root.setString("a", "1");
    root.setString("b", "2");
    root.setString("c", "3");
    std::vector<std::string> seen;
    const int result = root.forEach([&](const std::string& key, const auto&) {
        seen.push_back(key);
        return key == "b" ? 42 : 0;
    });
    EXPECT_EQ(result, 42);
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(root.forEach([](const auto&, const auto&) { return 0; }), 0);
}

TEST(Config, MissingKeyFailsAndFindAnswersNull) {
    Config root;
    root.setString("present", "x");
    EXPECT_THROW(root.get("absent"), vx::VXException);
    EXPECT_THROW(root.get("Present"), vx::VXException); // keys are case-sensitive
    EXPECT_EQ(root.find("absent"), nullptr);
    EXPECT_NE(root.find("present"), nullptr);
}

TEST(Config, ComparisonsByKind) {
    const ConfigText text("abc");
    const ConfigBool flag(true);
    const ConfigInt number(-5);
    const Config section;

    EXPECT_TRUE(text.equalsString("abc"));
    EXPECT_FALSE(text.equalsString("ABC"));
    EXPECT_FALSE(text.equalsString("abc "));
    EXPECT_TRUE(ConfigText(std::string("a\0b", 3)).equalsString(std::string_view("a\0b", 3)));
    EXPECT_FALSE(ConfigText(std::string("a\0b", 3)).equalsString("a"));
    EXPECT_TRUE(flag.equalsBool(true));
    EXPECT_FALSE(flag.equalsBool(false));
    EXPECT_TRUE(number.equalsInt(-5));
    EXPECT_FALSE(number.equalsInt(5));
    EXPECT_FALSE(section.equalsNode(text));
    EXPECT_FALSE(section.equalsNode(section));

    const std::string invalid = "Invalid comparison!";
    EXPECT_EQ(failureOf([&] { text.equalsInt(1); }), invalid);
    EXPECT_EQ(failureOf([&] { text.equalsBool(true); }), invalid);
    EXPECT_EQ(failureOf([&] { flag.equalsString("true"); }), invalid);
    EXPECT_EQ(failureOf([&] { number.equalsString("-5"); }), invalid);
    EXPECT_EQ(failureOf([&] { number.equalsBool(false); }), invalid);
    EXPECT_EQ(failureOf([&] { text.equalsNode(text); }), invalid);
    EXPECT_EQ(failureOf([&] { section.equalsBool(true); }), invalid);
    EXPECT_EQ(failureOf([&] { section.equalsString(""); }), invalid);
    EXPECT_EQ(failureOf([&] { section.equalsInt(0); }), invalid);
}

TEST(Config, ValuesHaveNoKeys) {
    EXPECT_EQ(failureOf([] { ConfigText("abc").get("abc"); }), "Invalid operation!");
    EXPECT_EQ(failureOf([] { ConfigInt(1).get(""); }), "Invalid operation!");
}

TEST(Config, SetValueAtCreatesSectionsOnTheWay) {
    auto root = std::make_shared<Config>(std::string("/cfg/app.cfg"));
    vx::config::setValueAt({"s1", "s2", "k", "v"}, *root);

    auto s1 = std::dynamic_pointer_cast<Config>(root->get("s1"));
    ASSERT_NE(s1, nullptr);
    auto s2 = std::dynamic_pointer_cast<Config>(s1->get("s2"));
    ASSERT_NE(s2, nullptr);
    EXPECT_TRUE(s2->get("k")->equalsString("v"));
    EXPECT_EQ(s2->getFilePath(), "/cfg/app.cfg");

    // An existing section is reused, not replaced.
    vx::config::setValueAt({"s1", "s2", "k2", "w"}, *root);
    EXPECT_EQ(root->get("s1"), s1);
    EXPECT_EQ(s2->keys(), (std::vector<std::string>{"k", "k2"}));
}

TEST(Config, SetValueAtWithKeyAndValueStoresText) {
    Config root;
    vx::config::setValueAt({"k", "v"}, root);
    auto text = std::dynamic_pointer_cast<ConfigText>(root.get("k"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->value(), "v");
}

TEST(Config, SetValueAtRejectsBadPaths) {
    Config root;
    const std::string tooShort = "Sections must be more than two in length";
    EXPECT_EQ(failureOf([&] { vx::config::setValueAt({"k"}, root); }), tooShort);
    EXPECT_EQ(failureOf([&] { vx::config::setValueAt({}, root); }), tooShort);

    // A value in the way is kept rather than silently turned into a section.
    root.setString("s", "value");
    EXPECT_EQ(failureOf([&] {
                  vx::config::setValueAt({"s", "k", "v"}, root);
              }),
              "Invalid operation!");
    EXPECT_TRUE(root.get("s")->equalsString("value"));
    EXPECT_EQ(root.keys(), (std::vector<std::string>{"s"}));
}

TEST(Config, FilePathLivesOnTheRoot) {
    auto root = std::make_shared<Config>(std::string("/a.cfg"));
    auto child = root->createSection();
    auto grandchild = child->createSection();
    root->setEntry("child", child);
    child->setEntry("grandchild", grandchild);

    EXPECT_EQ(grandchild->getFilePath(), "/a.cfg");
    grandchild->setFilePath(std::string("/b.cfg"));
    EXPECT_EQ(root->getFilePath(), "/b.cfg");
    EXPECT_EQ(child->getFilePath(), "/b.cfg");

    EXPECT_EQ(Config().getFilePath(), std::nullopt);
    EXPECT_EQ(Config(std::string("/c.cfg")).getFilePath(), "/c.cfg");
}

TEST(Config, SectionOutlivingItsRootKeepsThePathItWasMadeWith) {
    auto root = std::make_shared<Config>(std::string("/a.cfg"));
    auto child = root->createSection();
    root.reset();
    EXPECT_EQ(child->getFilePath(), "/a.cfg");
}

TEST(Config, SaveWithoutPathFails) {
    auto root = std::make_shared<Config>();
    root->setString("k", "v");
    auto child = root->createSection();
    root->setEntry("s", child);
    EXPECT_EQ(failureOf([&] { root->save(); }), "You must first set a file path");
    EXPECT_EQ(failureOf([&] { child->save(); }), "You must first set a file path");
}

TEST(Config, RepeatText) {
    EXPECT_EQ(vx::config::repeat("[", 0), "");
    EXPECT_EQ(vx::config::repeat("[", 3), "[[[");
    EXPECT_EQ(vx::config::repeat("ab", 2), "abab");
}

} // namespace
