// The start-up worker. It runs the slow stages (Flash Player check and install,
// movie download, trust file) off the main thread, shows each stage in the progress
// window, and tells the main loop how start-up ended through two flags:
// launchReady (all stages done: create the host window) or startupFailed (an error
// was shown to the user: leave the loop). Either way it closes the progress window
// before it ends.
#pragma once

#include "installer/StartupStages.h"
#include "runtime/Thread.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

class InstallerWindow;

namespace installer {

// Written once by the worker, read by the main loop.
extern std::atomic<bool> launchReady;
extern std::atomic<bool> startupFailed;

// Pause after the last stage when Flash Player was already present.
inline constexpr std::chrono::milliseconds kLaunchPause{4000};

class InstallerThread : public runtime::Thread {
public:
    InstallerThread(std::string moviePath, std::string movieUrl,
                    std::shared_ptr<InstallerWindow> progressWindow,
                    std::unique_ptr<StartupStages> stages = makeStartupStages());

protected:
    void run() override;

private:
    void runStages();
    void showError(const std::string& message);
    void status(const wchar_t* text);
    // Sets a flag and wakes the main loop to read it.
    void signal(std::atomic<bool>& flag);

    const std::string moviePath_;
    const std::string movieUrl_;
    std::shared_ptr<InstallerWindow> progressWindow_; // null once the worker closed it
    std::unique_ptr<StartupStages> stages_;
    // The thread that built this worker runs the message loop that reads the flags.
    const unsigned long mainThreadId_;
};

} // namespace installer
