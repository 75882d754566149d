// tulip.window.StartMove and StopMove through the path call, with a fake application
// object and a window that counts what it is asked.
#include "support/CapturedLog.h"
#include "support/FakeApplication.h"
#include "tulip/TulipNamespace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testing_support::CapturedLog;
using vx::Variant;
using vx::application::IApplicationWindow;
using vx::application::IPlugin;
using vx::application::IVXApplication;

using testing_support::FakeApplication;

class CountingWindow : public IApplicationWindow {
public:
    Variant DoCallback(const std::string&, const Variant::List&) override { return {}; }
    IApplicationWindow& getWindow() override { return *this; }
    void StartMove() override { ++starts; }
    void StopMove() override { ++stops; }
    void setApplication(std::shared_ptr<IVXApplication>) override {}
    std::shared_ptr<IVXApplication> getApplication() const override { return nullptr; }

    int starts = 0;
    int stops = 0;
};

// Registered under the window's name but not a window.
class OtherPlugin : public IPlugin {
public:
    void setApplication(std::shared_ptr<IVXApplication>) override {}
    std::shared_ptr<IVXApplication> getApplication() const override { return nullptr; }
};

Variant call(tulip::TulipNamespace& root, const char* function) {
    const std::vector<std::string> path = {"tulip", "window", function};
    return root.callPath(path, {Variant("ignored")});
}

TEST(WindowNamespace, MovesReachTheRegisteredWindowAndAnswerTheNullPointer) {
    auto application = std::make_shared<FakeApplication>();
    auto window = std::make_shared<CountingWindow>();
    application->registerInterface("IApplicationWindow", window);
    tulip::TulipNamespace root(application);
    CapturedLog log;

    EXPECT_TRUE(call(root, "StartMove").is(Variant::Kind::NullPointer));
    EXPECT_EQ(window->starts, 1);
    EXPECT_EQ(window->stops, 0);

    EXPECT_TRUE(call(root, "StopMove").is(Variant::Kind::NullPointer));
    EXPECT_EQ(window->starts, 1);
    EXPECT_EQ(window->stops, 1);
    EXPECT_TRUE(log.texts().empty());
}

TEST(WindowNamespace, WithoutAWindowTheCallAnswersEmptyWithTheLogLine) {
    struct Case {
        const char* what;
        std::shared_ptr<IVXApplication> application;
    };
    auto notAWindow = std::make_shared<FakeApplication>();
    notAWindow->registerInterface("IApplicationWindow", std::make_shared<OtherPlugin>());
    auto otherName = std::make_shared<FakeApplication>();
    otherName->registerInterface("IApplicationwindow", std::make_shared<CountingWindow>());
    const Case cases[] = {
        {"nothing registered", std::make_shared<FakeApplication>()},
        {"a plug-in that is not a window", notAWindow},
        {"a window under another name", otherName},
        {"no application", nullptr},
    };
    for (const Case& c : cases) {
        for (const char* function : {"StartMove", "StopMove"}) {
            SCOPED_TRACE(std::string(c.what) + ", " + function);
            tulip::TulipNamespace root(c.application);
            CapturedLog log;
            EXPECT_TRUE(call(root, function).empty());
            EXPECT_EQ(log.texts(),
                      (std::vector<std::string>{
                          "Caught an Exception resolving a tulip call and now returning null"}));
        }
    }
}

} // namespace
