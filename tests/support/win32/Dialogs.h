// Finds the message boxes of a process, reads them and dismisses them, so that no
// test ever waits for somebody to press OK.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

struct DialogSeen {
    std::string caption; // UTF-8
    std::string text;    // the message text of a message box, UTF-8
    HWND owner = nullptr;
};

struct TopLevelWindow {
    HWND handle = nullptr;
    std::string className;
    std::string caption;
    bool visible = false;
};

// The top-level windows that belong to process `processId`.
std::vector<TopLevelWindow> topLevelWindows(DWORD processId);

// Presses OK (or Cancel) on every visible dialog box (class "#32770") of the
// process and returns what they said. Boxes already in `handled` are pressed again
// but not reported; new ones are added to it.
std::vector<DialogSeen> dismissDialogs(DWORD processId, std::set<HWND>* handled = nullptr);

// Watches a process from a thread of its own: dismisses its dialog boxes as they
// appear and keeps what they said.
class DialogWatcher {
public:
    explicit DialogWatcher(DWORD processId = GetCurrentProcessId());
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;

    std::vector<DialogSeen> seen() const;

private:
    DWORD processId_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<DialogSeen> seen_;
    std::thread thread_;
};

} // namespace testing_support
