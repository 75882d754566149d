#include "ui/component/BaseComponent.h"

#include "vx/logger.h"

namespace ui::component {

BaseComponent::BaseComponent() : instance_(GetModuleHandleW(nullptr)) {}

void BaseComponent::setPosition(int x, int y) noexcept {
    x_ = x;
    y_ = y;
}

void BaseComponent::setText(std::wstring text) { text_ = std::move(text); }

void BaseComponent::setSize(int width, int height) noexcept {
    width_ = width;
    height_ = height;
}

HWND BaseComponent::created(HWND handle) {
    handle_ = handle;
    if (handle_ == nullptr) {
        vx::logger::info("Creating the component failed: " + std::to_string(GetLastError()));
    }
    return handle_;
}

HWND BaseComponent::create() {
    HWND h = CreateWindowExW(0, className_.c_str(), nullptr, style_ | WS_CHILD | WS_VISIBLE, x_,
                             y_, width_, height_, parent_, nullptr, instance_, nullptr);
    if (created(h) != nullptr) {
        vx::logger::info("Component created successfully");
    }
    return handle_;
}

void BaseComponent::destroy() { DestroyWindow(handle_); }

void BaseComponent::updateText(std::wstring_view text) {
    const std::wstring copy(text);
    SetWindowTextW(handle_, copy.c_str());
}

void BaseComponent::center() {
    HWND around = parent_ != nullptr ? parent_ : GetDesktopWindow();
    RECT r{};
    GetWindowRect(around, &r);
    vx::logger::info(std::to_string(r.left) + ", " + std::to_string(r.right) + ", " +
                     std::to_string(r.top) + ", " + std::to_string(r.bottom) + ", ");
    // Right and bottom are used as the extent: right for a rectangle at 0, 0.
    SetWindowPos(handle_, HWND_TOP, (r.right - width_) / 2, (r.bottom - height_) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOOWNERZORDER);
}

} // namespace ui::component
