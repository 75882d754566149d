#include "ui/window/StandardWindow.h"

#include "vx/logger.h"

namespace ui::window {
namespace {

LRESULT CALLBACK defaultProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

StandardWindow::StandardWindow() {
    className_ = kProgressWindowClass;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(WNDCLASSEXW);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = defaultProcedure;
    wc.hInstance = instance_;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszClassName = kProgressWindowClass;
    vx::logger::info("Registering window");
    atom_ = RegisterClassExW(&wc);
    if (atom_ == 0) {
        MessageBoxW(nullptr, L"Window registration failed", L"Error", MB_ICONEXCLAMATION | MB_OK);
    }
}

HWND StandardWindow::create() {
    // With no class (atom 0) creation fails and is logged like any other failure.
    const LPCWSTR windowClass = MAKEINTATOM(atom_);
    return created(CreateWindowExW(0, windowClass, text_.c_str(),
                                   WS_POPUP | WS_VISIBLE | WS_CAPTION, x_, y_, width_, height_,
                                   nullptr, nullptr, instance_, nullptr));
}

void StandardWindow::show() {
    vx::logger::info("Showing window");
    ShowWindow(handle_, SW_SHOW);
    vx::logger::info("Updating window");
    UpdateWindow(handle_);
    vx::logger::info("Window Creation complete");
}

} // namespace ui::window
