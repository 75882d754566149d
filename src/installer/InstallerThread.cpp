#include "installer/InstallerThread.h"

#include "InstallerWindow.h"
#include "runtime/win32/WinText.h"
#include "vx/Exception.h"
#include "vx/logger.h"

namespace installer {

std::atomic<bool> launchReady{false};
std::atomic<bool> startupFailed{false};

InstallerThread::InstallerThread(std::string moviePath, std::string movieUrl,
                                 std::shared_ptr<InstallerWindow> progressWindow,
                                 std::unique_ptr<StartupStages> stages)
    : moviePath_(std::move(moviePath)), movieUrl_(std::move(movieUrl)),
      progressWindow_(std::move(progressWindow)), stages_(std::move(stages)),
      mainThreadId_(GetCurrentThreadId()) {}

void InstallerThread::signal(std::atomic<bool>& flag) {
    flag.store(true);
    // The main loop sleeps in WaitMessage and reads the flags only when it wakes.
    // The progress bar's steps wake it while the window lives; once it is closed
    // nothing else may arrive and the loop would wait for ever, so wake it here.
    PostThreadMessageW(mainThreadId_, WM_NULL, 0, 0);
}

void InstallerThread::status(const wchar_t* text) {
    progressWindow_->setStatus(text);
}

void InstallerThread::runStages() {
    using vx::logger::info;
    bool wasInstalled = true;

    info("Start of Main");
    status(L"Installing Flash");
    if (!stages_->isFlashInstalled(10, 0)) {
        info("Flash is not already installed");
        wasInstalled = false;
        try {
            stages_->installFlash();
        } catch (const vx::VXException& e) {
            throw vx::VXException("The Flash Player 10 ActiveX did not properly install, please "
                                  "install it manually and start the installer again.",
                                  e.getCause());
        }
    }

    info("Getting ready to download swf");
    status(L"Downloading the installer swf");
    stages_->downloadMovie(movieUrl_, moviePath_);
    info("Downloaded swf");

    status(L"Writing the Flash trust file");
    stages_->writeTrustFile(movieFolder());

    // The control library was loaded at start; this stage only marks the point.
    info("Registering f-in-box plugin");
    status(L"Launching installer");
    if (wasInstalled) {
        stages_->pauseBeforeLaunch(kLaunchPause);
    }
    signal(launchReady);
}

void InstallerThread::showError(const std::string& message) {
    const std::wstring text = runtime::win32::widen(message);
    MessageBoxW(progressWindow_->handle(), text.c_str(), L"Error", MB_OK);
    signal(startupFailed);
}

void InstallerThread::run() {
    using vx::logger::info;
    try {
        runStages();
    } catch (const vx::VXException& e) {
        info("Nice exception language: " + e.message());
        if (e.getCause()) {
            info("Exception caught: " + runtime::describe(e.getCause()));
        }
        showError(e.message());
    } catch (const std::exception& e) {
        info(std::string("An unknown exception was caught: ") + e.what());
        showError(e.what());
    } catch (...) {
        info("An unknown exception was caught: unknown error");
        showError("unknown error");
    }

    info("Killing the flash-less window");
    // The window belongs to the main thread; this returns once it has been destroyed.
    SendMessageW(progressWindow_->handle(), WM_CLOSE, 0, 0);
    progressWindow_->stopProgress();
    progressWindow_.reset();
    info("Killed the flash-less window");
}

} // namespace installer
