#include "installer/main.h"

#include "BuildConfig.h"
#include "InstallerWindow.h"
#include "installer/HostLaunch.h"
#include "installer/InstallerThread.h"
#include "installer/StartupStages.h"
#include "runtime/Exception.h"
#include "runtime/Strings.h"
#include "runtime/win32/WinText.h"
#include "vx/logger.h"

#include <charconv>
#include <memory>

namespace installer {
namespace {

// Lines end at "\n"; a "\r" right before it belongs to the line end.
std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines = runtime::split(text, '\n');
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        if (!lines[i].empty() && lines[i].back() == '\r') {
            lines[i].pop_back();
        }
    }
    return lines;
}

int readInteger(const std::string& line) {
    int value = 0;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), value);
    if (error != std::errc() || end != line.data() + line.size()) {
        throw runtime::Exception("Not a decimal integer in the start-up text: " + line);
    }
    return value;
}

} // namespace

std::string builtInStartupText() {
    return std::string(build::kContentServer) +
           "/apps/installer/brivola/static/BrivolaDesktopInstaller2.swf\r\n"
           "520\r\n"
           "420\r\n"
           "Brivola Desktop Installer\r\n";
}

StartupText parseStartupText(std::string_view text) {
    const std::vector<std::string> lines = splitLines(text);
    if (lines.size() < 4) {
        throw runtime::Exception("The start-up text has fewer than four lines");
    }
    return StartupText{lines[0], readInteger(lines[1]), readInteger(lines[2]), lines[3]};
}

int main() {
    const StartupText startup = parseStartupText(builtInStartupText());
    auto progressWindow = std::make_shared<InstallerWindow>(
        runtime::win32::widen("Initializing " + startup.title + " ..."), 300, 300, startup.width,
        startup.height);
    const std::string moviePath = movieFolder() + "/installerui.swf";

    std::make_shared<InstallerThread>(moviePath, startup.movieUrl, progressWindow)->start();

    vx::logger::info("Starting Message Loop");
    MSG msg{};
    while (msg.message != WM_QUIT) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            WaitMessage();
        }
        if (launchReady.exchange(false)) {
            launchInstallerUi({moviePath, startup.title, startup.width, startup.height});
        } else if (startupFailed.load()) {
            // The worker has closed the window already; this close finds it gone.
            msg.hwnd = progressWindow->handle();
            msg.message = WM_CLOSE;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            return kStartupFailedExitCode;
        }
    }
    closeInstallerUi();
    return static_cast<int>(msg.wParam);
}

} // namespace installer
