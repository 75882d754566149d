#include "support/win32/Dialogs.h"

#include "runtime/win32/WinText.h"

#include <chrono>

namespace testing_support {
namespace {

std::string windowText(HWND window) {
    wchar_t buffer[4096] = {};
    GetWindowTextW(window, buffer, static_cast<int>(std::size(buffer)));
    return runtime::win32::narrow(buffer);
}

std::string className(HWND window) {
    wchar_t buffer[256] = {};
    GetClassNameW(window, buffer, static_cast<int>(std::size(buffer)));
    return runtime::win32::narrow(buffer);
}

struct Search {
    DWORD processId;
    std::vector<HWND> windows;
};

BOOL CALLBACK collect(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId) {
        search->windows.push_back(window);
    }
    return TRUE;
}

std::vector<HWND> windowsOf(DWORD processId) {
    Search search{processId, {}};
    EnumWindows(collect, reinterpret_cast<LPARAM>(&search));
    return search.windows;
}

} // namespace

std::vector<TopLevelWindow> topLevelWindows(DWORD processId) {
    std::vector<TopLevelWindow> out;
    for (HWND window : windowsOf(processId)) {
        out.push_back({window, className(window), windowText(window), IsWindowVisible(window) != 0});
    }
    return out;
}

std::vector<DialogSeen> dismissDialogs(DWORD processId, std::set<HWND>* handled) {
    std::vector<DialogSeen> out;
    for (HWND window : windowsOf(processId)) {
        if (className(window) != "#32770" || !IsWindowVisible(window)) {
            continue;
        }
        // A box still closing from the last round is pressed again, not reported again.
        if (handled == nullptr || handled->insert(window).second) {
            // A message box keeps its text in the static control 0xFFFF.
            HWND textControl = GetDlgItem(window, 0xFFFF);
            out.push_back({windowText(window),
                           textControl ? windowText(textControl) : std::string(),
                           GetWindow(window, GW_OWNER)});
        }
        const int button = GetDlgItem(window, IDOK) ? IDOK : IDCANCEL;
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
    }
    return out;
}

DialogWatcher::DialogWatcher(DWORD processId) : processId_(processId) {
    thread_ = std::thread([this] {
        std::set<HWND> handled;
        while (!stop_.load()) {
            for (DialogSeen& dialog : dismissDialogs(processId_, &handled)) {
                std::lock_guard<std::mutex> lock(mutex_);
                seen_.push_back(std::move(dialog));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
}

DialogWatcher::~DialogWatcher() {
    stop_.store(true);
    thread_.join();
}

std::vector<DialogSeen> DialogWatcher::seen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

} // namespace testing_support
