// A Win32 window described by position, size, style, parent, class and text, and
// created on demand. Every method runs on the thread that created the window (the
// main thread), except updateText, which the system forwards to that thread.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace ui::component {

class BaseComponent {
public:
    BaseComponent();
    BaseComponent(const BaseComponent&) = delete;
    BaseComponent& operator=(const BaseComponent&) = delete;
    virtual ~BaseComponent() = default;

    HWND handle() const noexcept { return handle_; }
    void setPosition(int x, int y) noexcept;
    void setText(std::wstring text);
    void setSize(int width, int height) noexcept;
    // Adds style bits to those already set.
    void addStyle(DWORD bits) noexcept { style_ |= bits; }
    void setParent(HWND parent) noexcept { parent_ = parent; }
    DWORD style() const noexcept { return style_; }

    // Creates the window as a visible child of the parent, with the style bits.
    // Returns the handle, or null (and logs the error code) when creation fails.
    virtual HWND create();
    void destroy();
    void updateText(std::wstring_view text);
    // Moves the window to the middle of its parent, or of the desktop.
    void center();

protected:
    // Stores the created handle; logs and returns null on failure.
    HWND created(HWND handle);

    HWND handle_ = nullptr;
    HINSTANCE instance_;
    int x_ = 0;
    int y_ = 0;
    int width_ = 0;
    int height_ = 0;
    DWORD style_ = 0;
    HWND parent_ = nullptr;
    std::wstring className_;
    std::wstring text_;
};

} // namespace ui::component
