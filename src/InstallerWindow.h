// The native progress window shown before the installer movie runs: a captioned
// window 100 pixels high with a centred status line at the top and a 200 x 20
// progress bar below it that animates continuously.
//
// Built, shown and destroyed on the main thread. setStatus, handle and
// stopProgress may be called from the start-up worker: the window system delivers
// the text change to the main thread.
#pragma once

#include "ui/component/CenteredLabelComponent.h"
#include "ui/component/ContinuousProgressComponent.h"
#include "ui/window/StandardWindow.h"

#include <string>
#include <string_view>

class InstallerWindow {
public:
    // Creates, centres and shows the window. `height` is accepted for symmetry with
    // the host window and not used: the window is always 100 pixels high.
    InstallerWindow(std::wstring caption, int x, int y, int width, int height);

    HWND handle() const noexcept { return window_.handle(); }
    void stopProgress() noexcept { progress_.stop(); }
    void setStatus(std::wstring_view text) { label_.updateText(text); }

    const ui::component::ContinuousProgressComponent& progress() const noexcept {
        return progress_;
    }
    const ui::component::CenteredLabelComponent& label() const noexcept { return label_; }

private:
    ui::window::StandardWindow window_;
    ui::component::ContinuousProgressComponent progress_;
    ui::component::CenteredLabelComponent label_;
};
