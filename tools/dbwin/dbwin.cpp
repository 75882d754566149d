// dbwin: runs a program and collects what it writes to the debugger output.
//
//   dbwin --log FILE [--windows FILE] [--timeout SECONDS] [--keep-dialogs] -- PROGRAM [ARGS...]
//
// Every OutputDebugStringA text of the program (and of nothing else) is appended to
// the log file exactly as written, flushed at once. The windows file gets one line,
// tab-separated, each time a top-level window of the program is first seen visible
// or changes its caption ("window", class, caption), and for every dialog box,
// which is dismissed at once unless --keep-dialogs ("dialog", caption, text).
// Waits for the program to end and exits with its exit code; after the time-out the
// program is terminated and dbwin exits with 124.
//
// The debugger-output protocol: the monitor owns the mapping "DBWIN_BUFFER"
// (4096 bytes: the writer's process id, then the zero-terminated text) and two
// events. It sets "DBWIN_BUFFER_READY" when the buffer is free; a writer fills it
// and sets "DBWIN_DATA_READY".
#include "runtime/win32/CommandLine.h"
#include "runtime/win32/Handle.h"
#include "runtime/win32/WinText.h"
#include "support/win32/Dialogs.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

using runtime::win32::narrow;
using runtime::win32::UniqueHandle;
using runtime::win32::UniqueMappedView;

namespace {

constexpr int kTimedOut = 124;
constexpr int kUsage = 125;
constexpr int kSetupFailed = 126;

struct Options {
    std::wstring log;
    std::wstring windows;
    double timeoutSeconds = 120;
    bool dismiss = true;
    std::vector<std::wstring> command;
};

bool parse(int argc, wchar_t** argv, Options& o) {
    int i = 1;
    for (; i < argc; ++i) {
        const std::wstring a = argv[i];
        if (a == L"--") {
            ++i;
            break;
        }
        if (a == L"--keep-dialogs") {
            o.dismiss = false;
        } else if (i + 1 < argc && a == L"--log") {
            o.log = argv[++i];
        } else if (i + 1 < argc && a == L"--windows") {
            o.windows = argv[++i];
        } else if (i + 1 < argc && a == L"--timeout") {
            o.timeoutSeconds = _wtof(argv[++i]);
        } else {
            return false;
        }
    }
    for (; i < argc; ++i) {
        o.command.emplace_back(argv[i]);
    }
    return !o.log.empty() && !o.command.empty();
}

class Output {
public:
    explicit Output(const std::wstring& path)
        : file_(path.empty() ? nullptr : _wfopen(path.c_str(), L"wb")) {}
    ~Output() {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
    }
    bool ok() const { return file_ != nullptr; }
    void write(const std::string& text) {
        if (file_ != nullptr) {
            std::fwrite(text.data(), 1, text.size(), file_);
            std::fflush(file_);
        }
    }

private:
    FILE* file_;
};

std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: dbwin --log FILE [--windows FILE] [--timeout SECONDS] "
                             "[--keep-dialogs] -- PROGRAM [ARGS...]\n");
        return kUsage;
    }
    Output log(options.log);
    Output windows(options.windows);
    if (!log.ok()) {
        std::fprintf(stderr, "dbwin: cannot open the log file\n");
        return kSetupFailed;
    }

    UniqueHandle bufferReady(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY"));
    const bool alreadyWatched = GetLastError() == ERROR_ALREADY_EXISTS;
    UniqueHandle dataReady(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY"));
    UniqueHandle mapping(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER"));
    if (!bufferReady || !dataReady || !mapping || alreadyWatched) {
        std::fprintf(stderr, "dbwin: cannot set up the debugger output (another monitor?)\n");
        return kSetupFailed;
    }
    UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 4096));
    if (!view) {
        return kSetupFailed;
    }

    std::wstring commandLine = runtime::win32::buildCommandLine(options.command);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "dbwin: cannot start the program (error %lu)\n", GetLastError());
        return kSetupFailed;
    }
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);

    std::map<HWND, std::string> captions;
    std::set<HWND> dialogs;
    auto watchWindows = [&](bool withDialogs) {
        for (const auto& w : testing_support::topLevelWindows(process.dwProcessId)) {
            if (!w.visible || w.className == "#32770") {
                continue;
            }
            auto it = captions.find(w.handle);
            if (it == captions.end() || it->second != w.caption) {
                captions[w.handle] = w.caption;
                windows.write("window\t" + oneLine(w.className) + "\t" + oneLine(w.caption) + "\n");
            }
        }
        if (withDialogs && options.dismiss) {
            for (const auto& d : testing_support::dismissDialogs(process.dwProcessId, &dialogs)) {
                windows.write("dialog\t" + oneLine(d.caption) + "\t" + oneLine(d.text) + "\n");
            }
        }
    };

    const auto* buffer = static_cast<const char*>(view.get());
    auto readOne = [&] {
        DWORD pid = 0;
        std::memcpy(&pid, buffer, sizeof(pid));
        if (pid == process.dwProcessId) {
            std::string text(buffer + sizeof(DWORD), strnlen(buffer + sizeof(DWORD), 4096 - sizeof(DWORD)));
            log.write(text);
        }
    };

    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<long long>(options.timeoutSeconds * 1000));
    bool exited = false;
    int code = 0;
    auto lastLook = std::chrono::steady_clock::time_point{};
    SetEvent(bufferReady.get());
    for (;;) {
        HANDLE waits[2] = {dataReady.get(), processHandle.get()};
        const DWORD r = WaitForMultipleObjects(exited ? 1 : 2, waits, FALSE, exited ? 300 : 25);
        if (r == WAIT_OBJECT_0) {
            readOne();
            // The program's next output call waits until the buffer is free again, so
            // a look at its windows now sees them as they are after this line: a window
            // that lives only across a few lines of a busy program is seen too (the
            // look below comes only when the output pauses). At most one look every
            // 2 ms: a program may write tens of thousands of lines. Dialogs are closed
            // only below: closing one sends it messages, which the waiting program
            // could not answer.
            const auto now = std::chrono::steady_clock::now();
            if (!exited && now - lastLook >= std::chrono::milliseconds(2)) {
                lastLook = now;
                watchWindows(false);
            }
            SetEvent(bufferReady.get());
            continue;
        }
        if (exited) {
            break; // no more text arrived after the program ended
        }
        if (r == WAIT_OBJECT_0 + 1) {
            exited = true;
            DWORD exitCode = 0;
            GetExitCodeProcess(processHandle.get(), &exitCode);
            code = static_cast<int>(exitCode);
            continue;
        }
        watchWindows(true);
        if (std::chrono::steady_clock::now() > deadline) {
            TerminateProcess(processHandle.get(), kTimedOut);
            WaitForSingleObject(processHandle.get(), 5000);
            windows.write("timeout\n");
            std::fprintf(stderr, "dbwin: time-out, program terminated\n");
            return kTimedOut;
        }
    }
    std::printf("exit %d\n", code);
    return code;
}
