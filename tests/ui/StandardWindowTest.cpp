// Each test runs in a process of its own (ctest runs one test per process), which
// matters here: the window class can be registered once per process.
#include "ui/component/CenteredLabelComponent.h"
#include "ui/component/ContinuousProgressComponent.h"
#include "ui/window/StandardWindow.h"

#include "runtime/Thread.h"
#include "support/CapturedLog.h"
#include "support/win32/Dialogs.h"
#include "support/win32/MessagePump.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace std::chrono_literals;
using testing_support::CapturedLog;
using ui::window::StandardWindow;

RECT desktopRect() {
    RECT r{};
    GetWindowRect(GetDesktopWindow(), &r);
    return r;
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(StandardWindow, RegistersItsClassAndCreatesACaptionedPopup) {
    CapturedLog log;
    StandardWindow window;
    ASSERT_NE(window.atom(), 0);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), ui::window::kProgressWindowClass, &wc));
    EXPECT_EQ(wc.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(wc.hbrBackground, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)));
    EXPECT_EQ(wc.hCursor, LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
    EXPECT_EQ(wc.hIcon, nullptr);

    window.setText(L"Caption \x00e9");
    window.setPosition(10, 20);
    window.setSize(300, 100);
    HWND h = window.create();
    ASSERT_NE(h, nullptr);
    const DWORD style = static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE));
    EXPECT_EQ(style & (WS_POPUP | WS_VISIBLE | WS_CAPTION), WS_POPUP | WS_VISIBLE | WS_CAPTION);
    wchar_t caption[64] = {};
    GetWindowTextW(h, caption, 64);
    EXPECT_STREQ(caption, L"Caption \x00e9");

    window.show();
    EXPECT_EQ(log.texts(), (std::vector<std::string>{"Registering window", "Showing window",
                                                      "Updating window",
                                                      "Window Creation complete"}));

    // The default procedure: closing destroys the window and posts no quit.
    SendMessageW(h, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(h));
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

TEST(StandardWindow, CentresOnTheDesktop) {
    CapturedLog log;
    StandardWindow window;
    window.setSize(520, 100);
    window.setPosition(300, 300);
    ASSERT_NE(window.create(), nullptr);
    window.center();

    const RECT desk = desktopRect();
    RECT r{};
    GetWindowRect(window.handle(), &r);
    EXPECT_EQ(r.left, (desk.right - 520) / 2);
    EXPECT_EQ(r.top, (desk.bottom - 100) / 2);
    EXPECT_EQ(r.right - r.left, 520);
    const std::string rectLine = std::to_string(desk.left) + ", " + std::to_string(desk.right) +
                                 ", " + std::to_string(desk.top) + ", " +
                                 std::to_string(desk.bottom) + ", ";
    EXPECT_TRUE(contains(log.texts(), rectLine)) << rectLine;
}

TEST(StandardWindow, SecondWindowCannotRegisterAndSaysSo) {
    StandardWindow first;
    ASSERT_NE(first.atom(), 0);

    CapturedLog log;
    std::vector<testing_support::DialogSeen> seen;
    {
        testing_support::DialogWatcher watcher;
        StandardWindow second; // blocks in the message box until the watcher presses OK
        EXPECT_EQ(second.atom(), 0);
        second.setSize(100, 100);
        EXPECT_EQ(second.create(), nullptr);
        seen = watcher.seen();
    }
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "Error");
    EXPECT_EQ(seen[0].text, "Window registration failed");
    EXPECT_EQ(seen[0].owner, nullptr);
    const auto texts = log.texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back().rfind("Creating the component failed: ", 0), 0u) << texts.back();
}

TEST(Components, AddStyleKeepsEarlierBits) {
    ui::component::CenteredLabelComponent label;
    EXPECT_EQ(label.style(), static_cast<DWORD>(SS_CENTER));
    label.addStyle(WS_BORDER);
    label.addStyle(SS_NOPREFIX);
    EXPECT_EQ(label.style(), static_cast<DWORD>(SS_CENTER | WS_BORDER | SS_NOPREFIX));
}

TEST(Components, ChildIsCreatedInsideItsParentWithItsStyle) {
    CapturedLog log;
    StandardWindow window;
    window.setSize(400, 100);
    ASSERT_NE(window.create(), nullptr);

    ui::component::CenteredLabelComponent label;
    label.setParent(window.handle());
    label.setPosition(5, 5);
    label.setSize(390, 20);
    label.addStyle(WS_BORDER);
    HWND h = label.create();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GetParent(h), window.handle());
    const DWORD style = static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE));
    EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | WS_BORDER | SS_CENTER),
              static_cast<DWORD>(WS_CHILD | WS_VISIBLE | WS_BORDER | SS_CENTER));
    EXPECT_TRUE(contains(log.texts(), "Component created successfully"));

    label.updateText(L"Downloading the installer swf");
    wchar_t text[64] = {};
    GetWindowTextW(h, text, 64);
    EXPECT_STREQ(text, L"Downloading the installer swf");
}

TEST(Components, ProgressBarAnimatesUntilStopped) {
    StandardWindow window;
    window.setSize(400, 100);
    ASSERT_NE(window.create(), nullptr);
    ui::component::ContinuousProgressComponent bar;
    bar.setParent(window.handle());
    bar.setPosition(100, 30);
    bar.setSize(200, 20);
    HWND h = bar.create();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(runtime::Thread::running(), 1u);

    auto position = [h] { return static_cast<int>(SendMessageW(h, PBM_GETPOS, 0, 0)); };
    ASSERT_TRUE(testing_support::pumpUntil([&] { return position() >= 3; }));

    bar.stop();
    runtime::Thread::waitForAll(testing_support::pumpMessages);
    testing_support::pumpMessages();
    const int stoppedAt = position();
    testing_support::pumpFor(200ms);
    EXPECT_EQ(position(), stoppedAt); // nothing posted after the thread ended
}

TEST(Components, ProgressBarThatCannotBeCreatedStartsNoThread) {
    CapturedLog log;
    ui::component::ContinuousProgressComponent bar; // a child without a parent fails
    bar.setSize(200, 20);
    EXPECT_EQ(bar.create(), nullptr);
    EXPECT_EQ(runtime::Thread::running(), 0u);
    const auto texts = log.texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind("Creating the component failed: ", 0), 0u) << texts[0];
}

} // namespace
