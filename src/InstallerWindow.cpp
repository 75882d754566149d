#include "InstallerWindow.h"

#include "vx/logger.h"

namespace {
constexpr int kWindowHeight = 100;
} // namespace

InstallerWindow::InstallerWindow(std::wstring caption, int x, int y, int width, int /*height*/) {
    window_.setPosition(x, y);
    window_.setSize(width, kWindowHeight);
    window_.setText(std::move(caption));
    window_.create();

    progress_.setPosition(width / 2 - 100, 30);
    progress_.setSize(200, 20);
    progress_.setParent(window_.handle());
    progress_.create();

    label_.setPosition(5, 5);
    label_.setSize(width - 10, 20);
    label_.setParent(window_.handle());
    label_.create();

    window_.center();
    window_.show();
}

vx::Variant InstallerWindow::DoCallback(const std::string&, const vx::Variant::List&) {
    vx::logger::info("In DoCallback for StandardWindow");
    return vx::Variant("nothing");
}
