// The smallest Win32 program that opens a window: the yardstick for the program's own
// start-up (tools/bench startup). It registers a class, shows one window and runs a
// message loop until the window is closed.
#include <windows.h>

namespace {

LRESULT CALLBACK proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSW c{};
    c.lpfnWndProc = proc;
    c.hInstance = instance;
    c.lpszClassName = L"MinimalWindow";
    c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&c);
    HWND hwnd = CreateWindowExW(0, L"MinimalWindow", L"Minimal window", WS_OVERLAPPEDWINDOW, 300,
                                300, 520, 420, nullptr, nullptr, instance, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
