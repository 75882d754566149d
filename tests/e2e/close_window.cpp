// close_window CLASS [DELAY_MS [TIMEOUT_MS [beside-owner]]]: waits for a visible
// top-level window of CLASS, waits DELAY_MS more, then asks it to close as Alt+F4 does
// (the system's close command, which the window's default procedure turns into
// WM_CLOSE). Exits 0 when it found the window, 1 when none appeared within TIMEOUT_MS
// (default 60 s).
//
// With "beside-owner" the window is first moved just below its owner window, so that
// the two do not overlap: Wine on a display without a window manager leaves a window
// that lies over another of its windows unpainted (black), and the demo takes its
// picture of the message box meanwhile.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        return 2;
    }
    const DWORD delay = argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) : 0;
    const DWORD limit = argc > 3 ? static_cast<DWORD>(_wtoi(argv[3])) : 60000;
    const DWORD start = GetTickCount();
    HWND window = nullptr;
    while (GetTickCount() - start < limit) {
        window = FindWindowW(argv[1], nullptr);
        if (window != nullptr && IsWindowVisible(window)) {
            break;
        }
        window = nullptr;
        Sleep(50);
    }
    if (window == nullptr) {
        return 1;
    }
    if (argc > 4 && std::wcscmp(argv[4], L"beside-owner") == 0) {
        HWND owner = GetWindow(window, GW_OWNER);
        RECT above{};
        RECT own{};
        if (owner != nullptr && GetWindowRect(owner, &above) && GetWindowRect(window, &own)) {
            const int x = above.left + ((above.right - above.left) - (own.right - own.left)) / 2;
            SetWindowPos(window, nullptr, x, above.bottom + 8, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    Sleep(delay);
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    return 0;
}
