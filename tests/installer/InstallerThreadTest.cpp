// The start-up worker against a real progress window, with stages that succeed or
// fail on purpose. The test thread plays the main thread: it pumps messages while
// the worker runs. One process per test (the window class registers once).
#include "installer/InstallerThread.h"

#include "InstallerWindow.h"
#include "runtime/Thread.h"
#include "support/CapturedLog.h"
#include "support/win32/Dialogs.h"
#include "support/win32/MessagePump.h"
#include "vx/Exception.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace {

using testing_support::CapturedLog;

struct Calls {
    std::vector<std::string> stages;
    std::vector<std::wstring> statuses;
};

class ScriptedStages : public installer::StartupStages {
public:
    ScriptedStages(Calls& calls, HWND label) : calls_(calls), label_(label) {}

    bool flashInstalled = true;
    std::function<void()> failInstall;
    std::function<void()> failDownload;

    bool isFlashInstalled(int major, int minor) override {
        record("isFlashInstalled " + std::to_string(major) + "." + std::to_string(minor));
        return flashInstalled;
    }
    void installFlash() override {
        record("installFlash");
        if (failInstall) {
            failInstall();
        }
    }
    void downloadMovie(const std::string& url, const std::string& path) override {
        record("downloadMovie " + url + " -> " + path);
        if (failDownload) {
            failDownload();
        }
    }
    void writeTrustFile(const std::string& folder) override {
        record("writeTrustFile " + folder);
    }
    void pauseBeforeLaunch(std::chrono::milliseconds d) override {
        record("pause " + std::to_string(d.count()));
    }

private:
    // Each stage also notes the status line the window shows at that moment.
    void record(const std::string& what) {
        calls_.stages.push_back(what);
        wchar_t text[128] = {};
        GetWindowTextW(label_, text, 128);
        calls_.statuses.push_back(text);
    }
    Calls& calls_;
    HWND label_;
};

std::exception_ptr errorFrom(const std::function<void()>& raise) {
    try {
        raise();
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

struct Outcome {
    std::vector<std::string> log;
    std::vector<testing_support::DialogSeen> dialogs;
    HWND window = nullptr;
    Calls calls;
};

Outcome runWorker(const std::function<void(ScriptedStages&)>& script) {
    installer::launchReady = false;
    installer::startupFailed = false;
    Outcome out;
    CapturedLog log;
    testing_support::DialogWatcher watcher;
    {
        auto window = std::make_shared<InstallerWindow>(L"Initializing ...", 300, 300, 520, 420);
        out.window = window->handle();
        auto stages = std::make_unique<ScriptedStages>(out.calls, window->label().handle());
        script(*stages);
        std::make_shared<installer::InstallerThread>("C:/ProgramData/vxi/static/installerui.swf",
                                                     "http://127.0.0.1/movie.swf", window,
                                                     std::move(stages))
            ->start();
        // Every thread must end: the worker, and the animation it stops.
        runtime::Thread::waitForAll(testing_support::pumpMessages);
    }
    out.log = log.texts();
    out.dialogs = watcher.seen();
    return out;
}

TEST(InstallerThread, FlashPresentRunsEveryStageAndPausesBeforeLaunch) {
    const Outcome out = runWorker([](ScriptedStages&) {});
    EXPECT_TRUE(installer::launchReady);
    EXPECT_FALSE(installer::startupFailed);
    EXPECT_TRUE(out.dialogs.empty());
    EXPECT_FALSE(IsWindow(out.window)); // closed by the worker

    ASSERT_EQ(out.calls.stages.size(), 4u);
    EXPECT_EQ(out.calls.stages[0], "isFlashInstalled 10.0");
    EXPECT_EQ(out.calls.stages[1], "downloadMovie http://127.0.0.1/movie.swf -> "
                                   "C:/ProgramData/vxi/static/installerui.swf");
    EXPECT_EQ(out.calls.stages[2].rfind("writeTrustFile ", 0), 0u);
    EXPECT_EQ(out.calls.stages[2].substr(out.calls.stages[2].size() - 11), "/vxi/static");
    EXPECT_EQ(out.calls.stages[3], "pause 4000");
    const std::vector<std::wstring> statuses = {L"Installing Flash", L"Downloading the installer swf",
                                                L"Writing the Flash trust file",
                                                L"Launching installer"};
    EXPECT_EQ(out.calls.statuses, statuses);

    const std::vector<std::string> expected = {
        "Start of Main",          "Getting ready to download swf",
        "Downloaded swf",         "Registering f-in-box plugin",
        "Killing the flash-less window", "Killed the flash-less window"};
    // The window's own lines come first; the worker's follow in this order.
    std::vector<std::string> worker(out.log.end() - 6, out.log.end());
    EXPECT_EQ(worker, expected);
}

TEST(InstallerThread, FlashMissingIsInstalledWithoutPause) {
    const Outcome out = runWorker([](ScriptedStages& s) { s.flashInstalled = false; });
    EXPECT_TRUE(installer::launchReady);
    ASSERT_EQ(out.calls.stages.size(), 4u);
    EXPECT_EQ(out.calls.stages[1], "installFlash");
    EXPECT_EQ(out.calls.stages[3].rfind("writeTrustFile", 0), 0u); // no pause after it
    EXPECT_NE(std::find(out.log.begin(), out.log.end(), "Flash is not already installed"),
              out.log.end());
}

struct FailureCase {
    const char* name;
    std::function<void(ScriptedStages&)> script;
    std::string boxText;
    std::vector<std::string> errorLines; // the handler's log lines, in order
};

// Test names carry the case's name, not its bytes.
void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

std::exception_ptr connectionRefused() {
    return errorFrom([] { throw std::runtime_error("connection refused"); });
}

const FailureCase kFailures[] = {
    {"FlashInstallFails",
     [](ScriptedStages& s) {
         s.flashInstalled = false;
         s.failInstall = [] {
             throw vx::VXDownloadException("download failed", connectionRefused());
         };
     },
     "The Flash Player 10 ActiveX did not properly install, please install it manually and "
     "start the installer again.",
     {"Nice exception language: The Flash Player 10 ActiveX did not properly install, please "
      "install it manually and start the installer again.",
      "Exception caught: connection refused"}},
    {"FlashInstallerWaitFailsWithAGeneralError",
     [](ScriptedStages& s) {
         s.flashInstalled = false;
         s.failInstall = [] { throw std::runtime_error("Unable to successfully install Flash."); };
     },
     "Unable to successfully install Flash.",
     {"An unknown exception was caught: Unable to successfully install Flash."}},
    {"MovieDownloadFailsWithACause",
     [](ScriptedStages& s) {
         s.failDownload = [] {
             throw vx::VXDownloadException(
                 "Getting an input stream for http://127.0.0.1/movie.swf failed",
                 connectionRefused());
         };
     },
     "Getting an input stream for http://127.0.0.1/movie.swf failed",
     {"Nice exception language: Getting an input stream for http://127.0.0.1/movie.swf failed",
      "Exception caught: connection refused"}},
    {"FileErrorWithoutACause",
     [](ScriptedStages& s) {
         s.failDownload = [] { throw vx::VXFileException("Unable to write to the file at X"); };
     },
     "Unable to write to the file at X",
     {"Nice exception language: Unable to write to the file at X"}},
};

// One process per case: ctest runs each instance on its own.
class FailingStage : public testing::TestWithParam<FailureCase> {};

TEST_P(FailingStage, ShowsOneErrorBoxAndClosesTheWindow) {
    const FailureCase& c = GetParam();
    const Outcome out = runWorker(c.script);
    EXPECT_FALSE(installer::launchReady);
    EXPECT_TRUE(installer::startupFailed);
    EXPECT_FALSE(IsWindow(out.window));
    ASSERT_EQ(out.dialogs.size(), 1u);
    EXPECT_EQ(out.dialogs[0].caption, "Error");
    EXPECT_EQ(out.dialogs[0].text, c.boxText);
    EXPECT_EQ(out.dialogs[0].owner, out.window);

    std::vector<std::string> expected = c.errorLines;
    expected.push_back("Killing the flash-less window");
    expected.push_back("Killed the flash-less window");
    ASSERT_GE(out.log.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(out.log.end() - static_cast<long>(expected.size()),
                                       out.log.end()),
              expected);
    EXPECT_EQ(std::find(out.log.begin(), out.log.end(), "Registering f-in-box plugin"),
              out.log.end());
}

INSTANTIATE_TEST_SUITE_P(InstallerThread, FailingStage, testing::ValuesIn(kFailures),
                         [](const testing::TestParamInfo<FailureCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
