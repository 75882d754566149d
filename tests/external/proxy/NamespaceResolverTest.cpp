#include "external/proxy/NamespaceResolver.h"
#include "runtime/Exception.h"
#include "support/CapturedLog.h"
#include "support/FakeApplication.h"
#include "tulip/TulipNamespace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using external::proxy::Context;
using external::proxy::NamespaceResolver;
using vx::Variant;

namespace {

constexpr const char* kNullLine = "Caught an Exception resolving a tulip call and now returning null";

using testing_support::FakeApplication;

// What the last call of `record` received.
struct Seen {
    Variant::List args;
    Context context;
    int calls = 0;
};
Seen seen;

Variant record(const Variant::List& args, const Context& context) {
    seen.args = args;
    seen.context = context;
    ++seen.calls;
    return Variant("recorded");
}

Variant fail(const Variant::List&, const Context&) {
    throw runtime::Exception("function failed");
}

class Leaf : public NamespaceResolver {
public:
    explicit Leaf(Context context) {
        setContext(std::move(context));
        setName("leaf");
        addFunction("Record", &record);
        addFunction("Fail", &fail);
    }
};

class Root : public NamespaceResolver {
public:
    explicit Root(Context context) {
        setContext(context);
        setName("root");
        addNamespace("leaf", std::make_shared<Leaf>(context));
        addFunction("Record", &record);
    }
};

Variant callPath(const NamespaceResolver& resolver, std::vector<std::string> path, Variant::List args = {}) {
    return resolver.callPath(path, args);
}

} // namespace

TEST(NamespaceResolver, PathsReachFunctionsWithArgumentsAndContext) {
    auto app = std::make_shared<FakeApplication>();
    Root root(app);
    seen = {};
    testing_support::CapturedLog log;

    const Variant result = callPath(root, {"root", "leaf", "Record"}, {Variant("a"), Variant(1.0L)});
    EXPECT_EQ(result.asString(), "recorded");
    ASSERT_EQ(seen.args.size(), 2u);
    EXPECT_EQ(seen.args[0].asString(), "a");
    EXPECT_EQ(seen.context, app);

    // Parts after a function's own name are ignored.
    EXPECT_EQ(callPath(root, {"root", "Record", "extra", "parts"}).asString(), "recorded");
    EXPECT_EQ(seen.calls, 2);
    EXPECT_TRUE(log.texts().empty());
}

TEST(NamespaceResolver, UnresolvedPathsAnswerEmpty) {
    Root root(std::make_shared<FakeApplication>());
    seen = {};
    {
        // Another root's name: empty, and nothing logged.
        testing_support::CapturedLog log;
        EXPECT_TRUE(callPath(root, {"Root", "Record"}).empty());
        EXPECT_TRUE(callPath(root, {}).empty());
        EXPECT_TRUE(log.texts().empty());
    }
    const std::vector<std::vector<std::string>> paths = {
        {"root"},                 // the root itself
        {"root", "leaf"},         // stops at a namespace
        {"root", "missing"},      // not registered
        {"root", "record"},       // names are case-sensitive
        {"root", "leaf", "Fail"}, // the function throws
        {"root", "leaf", "Nope"}, // not registered one level down
    };
    for (const auto& path : paths) {
        testing_support::CapturedLog log;
        EXPECT_TRUE(callPath(root, path).empty());
        EXPECT_EQ(log.texts(), std::vector<std::string>{kNullLine}) << path.back();
    }
    EXPECT_EQ(seen.calls, 0);
}

TEST(NamespaceResolver, MemberIdsFollowRegistrationOrder) {
    class Numbered : public NamespaceResolver {
    public:
        Numbered() {
            setName("n");
            addFunction("a", &record);
            addFunction("b", &record);
            addFunction("a", &fail); // registered again: a new id, the new function
        }
    } numbered;
    ASSERT_NE(numbered.memberName(1), nullptr);
    EXPECT_EQ(*numbered.memberName(1), "a");
    EXPECT_EQ(*numbered.memberName(2), "b");
    EXPECT_EQ(*numbered.memberName(3), "a");
    EXPECT_EQ(numbered.memberName(4), nullptr);
    EXPECT_EQ(numbered.memberName(0), nullptr);
    EXPECT_EQ(numbered.dispatcher("a")->dispId(), 3);
    EXPECT_EQ(numbered.dispatcher("b")->dispId(), 2);
    EXPECT_EQ(numbered.dispatcher("a")->function(), &fail);
    EXPECT_EQ(numbered.dispatcher("c"), nullptr);
}

TEST(TulipNamespace, MembersAndTheirOrder) {
    auto app = std::make_shared<FakeApplication>();
    auto root = std::make_shared<tulip::TulipNamespace>(app);
    const std::vector<std::string> names = {"browser", "vxcore", "window", "init", "GetAppName"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        ASSERT_NE(root->memberName(static_cast<std::int32_t>(i + 1)), nullptr);
        EXPECT_EQ(*root->memberName(static_cast<std::int32_t>(i + 1)), names[i]);
    }
    auto vxcore = root->dispatcher("vxcore")->child();
    ASSERT_TRUE(vxcore);
    EXPECT_EQ(vxcore->name(), "vxcore");
    EXPECT_EQ(vxcore->context(), app);
    const std::vector<std::string> children = {"search", "config", "install"};
    for (std::size_t i = 0; i < children.size(); ++i) {
        EXPECT_EQ(*vxcore->memberName(static_cast<std::int32_t>(i + 1)), children[i]);
        EXPECT_EQ(vxcore->dispatcher(children[i])->child()->name(), children[i]);
        EXPECT_EQ(vxcore->dispatcher(children[i])->child()->context(), app);
    }
    EXPECT_EQ(*root->dispatcher("browser")->child()->memberName(1), "IsFirefoxInstalled");
    EXPECT_EQ(*root->dispatcher("window")->child()->memberName(1), "StartMove");
    EXPECT_EQ(*root->dispatcher("window")->child()->memberName(2), "StopMove");
}

TEST(TulipNamespace, AppNameAndInit) {
    auto root = std::make_shared<tulip::TulipNamespace>(std::make_shared<FakeApplication>());
    EXPECT_EQ(callPath(*root, {"tulip", "GetAppName"}).asString(), "VXInstaller");
    EXPECT_EQ(callPath(*root, {"tulip", "GetAppName"}, {Variant("ignored"), Variant(true)}).asString(),
              "VXInstaller");
    EXPECT_EQ(callPath(*root, {"tulip", "init"}).kind(), Variant::Kind::Int32);
    testing_support::CapturedLog log;
    EXPECT_TRUE(callPath(*root, {"tulip", "window"}).empty());
    EXPECT_TRUE(callPath(*root, {"tulip", "browser"}).empty());
    EXPECT_TRUE(callPath(*root, {"tulip", "vxcore", "install", "NoSuchFunction"}).empty());
    EXPECT_EQ(log.texts(), (std::vector<std::string>{kNullLine, kNullLine, kNullLine}));
}
