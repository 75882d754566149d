// close_window CLASS [DELAY_MS [TIMEOUT_MS]]: waits for a visible top-level window of
// CLASS, waits DELAY_MS more, then asks it to close as Alt+F4 does (the system's close
// command, which the window's default procedure turns into WM_CLOSE). Exits 0 when it
// found the window, 1 when none appeared within TIMEOUT_MS (default 60 s).
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
    Sleep(delay);
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    return 0;
}
