// The movie's host window against the library double: construction, the movie's
// calls and commands through the real listener, calls into the movie, the close guard
// and the drag. The test thread is the window's thread.
#include "FinboxWindow.h"

#include "finbox/FakeFinbox.h"
#include "support/CapturedLog.h"
#include "support/FakeApplication.h"
#include "support/win32/MessagePump.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace {

using testing_support::CapturedLog;
using testing_support::FakeApplication;
using testing_support::FakeFinbox;
using testing_support::pumpMessages;
using testing_support::pumpUntil;

constexpr int kWidth = 520;
constexpr int kHeight = 420;

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool quitPosted() {
    MSG msg;
    return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

bool closeGrayed(HWND window) {
    MENUITEMINFOA item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_STATE;
    GetMenuItemInfoA(GetSystemMenu(window, FALSE), SC_CLOSE, FALSE, &item);
    return (item.fState & MFS_GRAYED) == MFS_GRAYED;
}

class FinboxWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_shared<FinboxWindow>(
            "C:/movie/installerui.swf", "Brivola Desktop Installer", kWidth, kHeight, "IDI_ICON1");
        pumpMessages();
    }
    void TearDown() override {
        window->destroy();
        pumpMessages();
        quitPosted();
    }
    void registerApplication() {
        application = std::make_shared<FakeApplication>();
        application->registerInterface("IApplicationWindow", window);
        window->setApplication(application);
    }
    std::string call(const std::string& request) { return fake.call(window->handle(), request); }

    CapturedLog log; // before the window: it sees the construction
    FakeFinbox fake;
    std::shared_ptr<FinboxWindow> window;
    std::shared_ptr<FakeApplication> application;
};

TEST_F(FinboxWindowTest, ConstructionPlaysTheMovieCentredAndShown) {
    const HWND hwnd = window->handle();
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_EQ(fake.movie(),
              (std::pair<std::string, std::string>{"C:/movie/installerui.swf", "always"}));
    RECT desktop{}, rect{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect.left, (desktop.right - kWidth) / 2);
    EXPECT_EQ(rect.top, (desktop.bottom - kHeight) / 2);
    EXPECT_EQ(rect.right - rect.left, kWidth);
    EXPECT_EQ(rect.bottom - rect.top, kHeight);
    EXPECT_NE(GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_SYSMENU, 0);

    const std::vector<std::string> lines = log.texts();
    const auto at =
        std::find(lines.begin(), lines.end(),
                  "Appwindow HWND: " + std::to_string(reinterpret_cast<std::intptr_t>(hwnd)));
    ASSERT_NE(at, lines.end());
    ASSERT_GE(lines.end() - at, 5);
    EXPECT_EQ(at[1], "About to setup WinProc");
    EXPECT_EQ(at[2].rfind("OldWinProcPtr: ", 0), 0u);
    EXPECT_NE(at[2], "OldWinProcPtr: 0");
    EXPECT_EQ(at[3], "Finished setting up WinProc");
    EXPECT_EQ(at[4], std::to_string(desktop.left) + ", " + std::to_string(desktop.right) + ", " +
                         std::to_string(desktop.top) + ", " + std::to_string(desktop.bottom) +
                         ", ");
}

TEST_F(FinboxWindowTest, MovieCallsAreAnsweredAndNeverHang) {
    // Before the application object is registered every call is answered null.
    EXPECT_EQ(call("<invoke name=\"tulip.GetAppName\" returntype=\"xml\"/>"), "<null/>");
    registerApplication();
    struct Case {
        const char* request;
        const char* reply;
    };
    const Case cases[] = {
        {"<invoke name=\"tulip.GetAppName\" returntype=\"xml\"/>", "<string>VXInstaller</string>"},
        {"<invoke name=\"tulip.init\" "
         "returntype=\"xml\"><arguments><string>a</string></arguments></invoke>",
         "<number>1</number>"},
        {"<invoke name=\"tulip.nothing.Here\" returntype=\"xml\"/>", "<null/>"},
        {"<invoke name=\"GetAppName\" returntype=\"xml\"/>", "<null/>"},
        // Malformed: an unknown value element, an unparsable number, cut-off XML,
        // no invoke, nothing at all.
        {"<invoke name=\"tulip.GetAppName\" "
         "returntype=\"xml\"><arguments><date/></arguments></invoke>",
         "<null/>"},
        {"<invoke name=\"tulip.GetAppName\" "
         "returntype=\"xml\"><arguments><number>3x</number></arguments></invoke>",
         "<null/>"},
        {"<invoke name=\"tulip.GetAppName\" returntype=\"xml\"><argum", "<null/>"},
        {"<string>hello</string>", "<null/>"},
        {"", "<null/>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(call(c.request), c.reply) << c.request;
    }
    const std::vector<std::string> lines = log.texts();
    EXPECT_TRUE(contains(lines, "Got a Flash Call"));
    EXPECT_TRUE(contains(lines, "Function name: tulip.init\nArguments:\n\ta\n"));
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) {
                                return l.rfind("Caught an Exception decoding a Flash call", 0) == 0;
                            }),
              5);
}

TEST_F(FinboxWindowTest, FSCommandsQuitOnlyOnQuitAndQUIT) {
    struct Case {
        const char* command;
        const char* args;
        bool quits;
    };
    const Case cases[] = {{"quit", "", true},   {"QUIT", "anything", true},
                          {"Quit", "", false},  {"exit", "", false},
                          {"quit ", "", false}, {"fullscreen", "true", false}};
    for (const Case& c : cases) {
        fake.fsCommand(window->handle(), c.command, c.args);
        EXPECT_EQ(quitPosted(), c.quits) << c.command;
    }
    const std::vector<std::string> lines = log.texts();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Got an FSCommand"), 6);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Got a Quit Command"), 2);
}

TEST_F(FinboxWindowTest, CloseBeforeAnyInstallQuits) {
    registerApplication();
    const HWND hwnd = window->handle();
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    // Allowed before any install: quit posted (and the window passed it on).
    EXPECT_TRUE(quitPosted());
    EXPECT_TRUE(contains(log.texts(), "Alt+F4 used ... application exiting"));
}

TEST_F(FinboxWindowTest, CloseGuardAndTheCloseItem) {
    registerApplication();
    const HWND hwnd = window->handle();
    EXPECT_FALSE(closeGrayed(hwnd));
    call("<invoke name=\"tulip.vxcore.install.DoMetaInstall\" returntype=\"xml\"/>");
    EXPECT_FALSE(window->isCloseEnabled());
    EXPECT_TRUE(closeGrayed(hwnd));
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(quitPosted());
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_TRUE(contains(log.texts(), "Alt+F4 used during install ... ignoring"));

    // Callbacks come from install workers; only "OnComplete" with "Installed" reopens.
    struct Case {
        const char* function;
        vx::Variant::List args;
        bool enabled;
    };
    const Case cases[] = {
        {"OnComplete", {vx::Variant("Uninstalled")}, false},
        {"OnComplete", {}, false},
        {"OnProgress", {vx::Variant("Installed")}, false},
        {"OnComplete", {vx::Variant("Installed")}, true},
        {"OnComplete", {vx::Variant("Installed")}, true},
    };
    for (const Case& c : cases) {
        std::thread worker([&] { window->DoCallback(c.function, c.args); });
        worker.join();
        EXPECT_EQ(window->isCloseEnabled(), c.enabled) << c.function;
        // The menu follows on the window's thread.
        EXPECT_TRUE(pumpUntil([&] { return closeGrayed(hwnd) == !c.enabled; })) << c.function;
    }
    // Disabling twice keeps it gray; the flag and the item agree after each change.
    window->setCloseEnabled(false);
    window->setCloseEnabled(false);
    EXPECT_TRUE(closeGrayed(hwnd));
    window->setCloseEnabled(true);
    window->setCloseEnabled(true);
    EXPECT_FALSE(closeGrayed(hwnd));
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(quitPosted());
}

TEST_F(FinboxWindowTest, DoCallbackSendsTheRequestAndReturnsTheRawAnswer) {
    struct Case {
        std::string answer;
        std::string expected;
    };
    const Case cases[] = {
        {"<string>ok</string>", "<string>ok</string>"},
        {"", ""},
        // Longer than the buffer: the host offers 1023 bytes of its 1024, the library
        // cuts the answer to fit with its terminating zero.
        {std::string(3000, 'a'), std::string(1022, 'a')},
    };
    for (const Case& c : cases) {
        fake.setAnswer(c.answer);
        vx::Variant result;
        std::thread worker([&] { result = window->DoCallback("OnProgress", {vx::Variant("50")}); });
        worker.join();
        EXPECT_EQ(result.asString(), c.expected);
        EXPECT_EQ(fake.lastRequest(),
                  "<invoke name=\"OnProgress\" returntype=\"xml\"><arguments><string>50</string>"
                  "</arguments></invoke>");
    }
    EXPECT_TRUE(contains(log.texts(), "In DoCallback for FINBOX code"));
}

TEST_F(FinboxWindowTest, DragFollowsTheCursorWhileOnlyTheLeftButtonIsDown) {
    const HWND hwnd = window->handle();
    RECT start{};
    GetWindowRect(hwnd, &start);
    SetCursorPos(start.left + 10, start.top + 10);
    window->StartMove();
    POINT cursor{};
    GetCursorPos(&cursor);
    const int offsetX = cursor.x - start.left, offsetY = cursor.y - start.top;
    // The cursor travels by (30, 20): a move in client coordinates.
    SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(offsetX + 30, offsetY + 20));
    RECT moved{};
    GetWindowRect(hwnd, &moved);
    EXPECT_EQ(moved.left, start.left + 30);
    EXPECT_EQ(moved.top, start.top + 20);
    // Shift with the button ends the drag: nothing moves, also not afterwards.
    SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, MAKELPARAM(offsetX + 60, offsetY));
    SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(offsetX + 90, offsetY));
    RECT after{};
    GetWindowRect(hwnd, &after);
    EXPECT_EQ(after.left, moved.left);
    EXPECT_EQ(after.top, moved.top);
    // Releasing the button ends a drag too.
    window->StartMove();
    SendMessageW(hwnd, WM_LBUTTONUP, 0, 0);
    SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(offsetX + 90, offsetY));
    GetWindowRect(hwnd, &after);
    EXPECT_EQ(after.left, moved.left);
}

} // namespace
