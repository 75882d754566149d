// The Windows half of tools/bench startup and movie-calls: starts a program, watches
// it from outside and prints figures, one "name value" a line.
//
//   bench_timer start [--until FILE TEXT] -- PROGRAM [ARGS...]
//       window_ms: from CreateProcess to the first visible top-level window of the
//       program; with --until, first_ms: to the first line of FILE that contains TEXT
//       (the player's transcript). The program is then ended (TerminateProcess) unless
//       it ends by itself within 10 s.
//   bench_timer calls FILE -- PROGRAM [ARGS...]
//       For a movie that marks "status start", "status at-1000" and "status
//       at-100000" (and sleeps 2 s after each of the last two): calls_per_s over the
//       99,000 calls between the two marks, private_1000 and private_100000 (bytes,
//       read during the sleeps), then waits for the program's end.
//   bench_timer sendmessage N
//       sendmessage_us: the mean of N SendMessage round trips to a window of another
//       thread of this process.
#include <windows.h>

#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

std::wstring quote(const std::wstring& arg) {
    std::wstring out = L"\"";
    for (wchar_t c : arg) {
        if (c == L'"') {
            out += L'\\';
        }
        out += c;
    }
    return out + L"\"";
}

PROCESS_INFORMATION launch(int argc, wchar_t** argv, int first) {
    std::wstring line;
    for (int i = first; i < argc; ++i) {
        line += (i > first ? L" " : L"") + quote(argv[i]);
    }
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        std::fprintf(stderr, "cannot start the program (%s)\n",
                     std::to_string(GetLastError()).c_str());
        std::exit(2);
    }
    return pi;
}

struct Find {
    DWORD pid;
    bool found;
};

BOOL CALLBACK visibleOf(HWND hwnd, LPARAM param) {
    auto* f = reinterpret_cast<Find*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == f->pid && IsWindowVisible(hwnd)) {
        f->found = true;
        return FALSE;
    }
    return TRUE;
}

// Reads a growing text file line by line from where it left off.
class Tail {
public:
    explicit Tail(std::wstring path) : path_(std::move(path)) {}
    bool seen(const std::string& text) {
        std::ifstream in(std::filesystem::path(path_), std::ios::binary);
        if (!in) {
            return false;
        }
        in.seekg(offset_);
        std::string line;
        while (std::getline(in, line)) {
            if (in.eof()) {
                break; // a line still being written
            }
            offset_ += static_cast<std::streamoff>(line.size() + 1);
            if (line.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

private:
    std::wstring path_;
    std::streamoff offset_ = 0;
};

std::size_t privateBytes(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof(pmc));
    // Windows counts a process's private bytes in both; Wine fills only PagefileUsage.
    return pmc.PrivateUsage != 0 ? pmc.PrivateUsage : pmc.PagefileUsage;
}

int start(int argc, wchar_t** argv) {
    int i = 2;
    std::wstring file, text;
    if (i + 2 < argc && std::wstring(argv[i]) == L"--until") {
        file = argv[i + 1];
        text = argv[i + 2];
        i += 3;
    }
    ++i; // "--"
    const auto t0 = Clock::now();
    PROCESS_INFORMATION pi = launch(argc, argv, i);
    Find f{pi.dwProcessId, false};
    while (!f.found) {
        EnumWindows(visibleOf, reinterpret_cast<LPARAM>(&f));
        if (!f.found) {
            Sleep(1);
        }
    }
    std::printf("window_ms %.1f\n", ms(t0, Clock::now()));
    if (!file.empty()) {
        Tail tail(file);
        const std::string narrowText(text.begin(), text.end());
        while (!tail.seen(narrowText)) {
            if (WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0) {
                std::printf("first_ms never\n");
                return 1;
            }
        }
        std::printf("first_ms %.1f\n", ms(t0, Clock::now()));
    }
    if (WaitForSingleObject(pi.hProcess, file.empty() ? 0 : 10000) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 0);
        WaitForSingleObject(pi.hProcess, INFINITE);
    }
    std::fflush(stdout);
    return 0;
}

int calls(int argc, wchar_t** argv) {
    Tail tail(argv[2]);
    PROCESS_INFORMATION pi = launch(argc, argv, 4);
    auto waitFor = [&](const char* text) {
        while (!tail.seen(text)) {
            if (WaitForSingleObject(pi.hProcess, 2) == WAIT_OBJECT_0) {
                std::printf("ended before %s\n", text);
                std::exit(1);
            }
        }
        return Clock::now();
    };
    waitFor("status start");
    const auto t1000 = waitFor("status at-1000");
    Sleep(1000);
    const std::size_t p1000 = privateBytes(pi.hProcess);
    const auto t100000 = waitFor("status at-100000");
    Sleep(1000);
    const std::size_t p100000 = privateBytes(pi.hProcess);
    // The movie slept 2 s after the first mark.
    const double seconds = ms(t1000, t100000) / 1000.0 - 2.0;
    std::printf("calls_per_s %.0f\n", 99000.0 / seconds);
    std::printf("private_1000 %s\nprivate_100000 %s\n", std::to_string(p1000).c_str(),
                std::to_string(p100000).c_str());
    WaitForSingleObject(pi.hProcess, 60000);
    return 0;
}

LRESULT CALLBACK echo(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER) {
        return static_cast<LRESULT>(wParam + 1);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

int sendmessage(wchar_t** argv) {
    const long n = _wtol(argv[2]);
    HWND window = nullptr;
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread owner([&] {
        WNDCLASSW c{};
        c.lpfnWndProc = echo;
        c.lpszClassName = L"BenchEcho";
        RegisterClassW(&c);
        window = CreateWindowExW(0, L"BenchEcho", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 nullptr, nullptr);
        SetEvent(ready);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            DispatchMessageW(&msg);
        }
    });
    WaitForSingleObject(ready, INFINITE);
    const auto t0 = Clock::now();
    for (long i = 0; i < n; ++i) {
        SendMessageW(window, WM_USER, static_cast<WPARAM>(i), 0);
    }
    const double total = ms(t0, Clock::now());
    std::printf("sendmessage_us %.2f\n", total * 1000.0 / static_cast<double>(n));
    PostMessageW(window, WM_QUIT, 0, 0);
    owner.join();
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 4 && std::wstring(argv[1]) == L"start") {
        return start(argc, argv);
    }
    if (argc >= 5 && std::wstring(argv[1]) == L"calls") {
        return calls(argc, argv);
    }
    if (argc == 3 && std::wstring(argv[1]) == L"sendmessage") {
        return sendmessage(argv);
    }
    std::fprintf(stderr, "usage: bench_timer start|calls|sendmessage ...\n");
    return 2;
}
