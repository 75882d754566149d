#include "InstallerWindow.h"

#include "runtime/Thread.h"
#include "support/CapturedLog.h"
#include "support/win32/MessagePump.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using testing_support::CapturedLog;

RECT childRect(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::wstring textOf(HWND window) {
    wchar_t buffer[256] = {};
    GetWindowTextW(window, buffer, 256);
    return buffer;
}

TEST(InstallerWindow, LayoutForTheInstallerSize) {
    CapturedLog log;
    InstallerWindow window(L"Initializing Brivola Desktop Installer ...", 300, 300, 520, 420);
    HWND h = window.handle();
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(IsWindowVisible(h));
    EXPECT_EQ(textOf(h), L"Initializing Brivola Desktop Installer ...");

    RECT desk{};
    GetWindowRect(GetDesktopWindow(), &desk);
    RECT r{};
    GetWindowRect(h, &r);
    EXPECT_EQ(r.right - r.left, 520);
    EXPECT_EQ(r.bottom - r.top, 100); // the height argument is not used
    EXPECT_EQ(r.left, (desk.right - 520) / 2);
    EXPECT_EQ(r.top, (desk.bottom - 100) / 2);

    const RECT bar = childRect(window.progress().handle());
    EXPECT_EQ(bar.left, 160);
    EXPECT_EQ(bar.right, 360);
    EXPECT_EQ(bar.top, 30);
    EXPECT_EQ(bar.bottom, 50);
    const RECT label = childRect(window.label().handle());
    EXPECT_EQ(label.left, 5);
    EXPECT_EQ(label.right, 515);
    EXPECT_EQ(label.top, 5);
    EXPECT_EQ(label.bottom, 25);
    EXPECT_EQ(textOf(window.label().handle()), L"");

    const std::string rectLine = std::to_string(desk.left) + ", " + std::to_string(desk.right) +
                                 ", " + std::to_string(desk.top) + ", " +
                                 std::to_string(desk.bottom) + ", ";
    const std::vector<std::string> expected = {
        "Registering window",      "Component created successfully",
        "Component created successfully", rectLine,
        "Showing window",          "Updating window",
        "Window Creation complete"};
    EXPECT_EQ(log.texts(), expected);

    window.stopProgress();
    runtime::Thread::waitForAll(testing_support::pumpMessages);
}

TEST(InstallerWindow, StatusFromAnotherThreadReachesTheLabel) {
    InstallerWindow window(L"Initializing ...", 300, 300, 520, 420);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        window.setStatus(L"Downloading the installer swf");
        done = true;
    });
    // setStatus waits for the main thread, which pumps here.
    ASSERT_TRUE(testing_support::pumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(textOf(window.label().handle()), L"Downloading the installer swf");

    window.stopProgress();
    runtime::Thread::waitForAll(testing_support::pumpMessages);
}

// The application-window interface: fixed answers, and the window itself stays as it was.
TEST(InstallerWindow, AnswersTheApplicationWindowInterfaceWithoutChangingTheWindow) {
    InstallerWindow window(L"Initializing ...", 300, 300, 520, 420);
    window.setStatus(L"Launching installer");
    testing_support::pumpMessages();
    RECT before{};
    GetWindowRect(window.handle(), &before);

    vx::application::IApplicationWindow& face = window;
    EXPECT_EQ(&face.getWindow(), &face);
    for (const char* name : {"", "OnProgress", "OnComplete", "NoSuchFunction"}) {
        SCOPED_TRACE(name);
        CapturedLog log;
        const vx::Variant answer = face.DoCallback(name, {vx::Variant("42"), vx::Variant(true)});
        ASSERT_TRUE(answer.is(vx::Variant::Kind::String));
        EXPECT_EQ(answer.asString(), "nothing");
        EXPECT_EQ(log.texts(), std::vector<std::string>{"In DoCallback for StandardWindow"});
    }
    {
        CapturedLog log;
        face.StartMove();
        testing_support::pumpMessages();
        EXPECT_NE(GetCapture(), window.handle()); // no drag begins
        face.StopMove();
        testing_support::pumpMessages();
        EXPECT_TRUE(log.texts().empty());
    }

    RECT after{};
    GetWindowRect(window.handle(), &after);
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_TRUE(IsWindowVisible(window.handle()));
    EXPECT_EQ(textOf(window.handle()), L"Initializing ...");
    EXPECT_EQ(textOf(window.label().handle()), L"Launching installer");

    window.stopProgress();
    runtime::Thread::waitForAll(testing_support::pumpMessages);
}

} // namespace
