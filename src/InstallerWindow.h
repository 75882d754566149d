// The native progress window shown before the installer movie runs: a captioned
// window 100 pixels high with a centred status line at the top and a 200 x 20
// progress bar below it that animates continuously.
//
// It also answers the application-window interface, trivially (no movie to call, no
// dragging), so that code which reports to the application's window can be handed it.
//
// Built, shown and destroyed on the main thread. setStatus, handle and
// stopProgress may be called from the start-up worker: the window system delivers
// the text change to the main thread.
#pragma once

#include "ui/component/CenteredLabelComponent.h"
#include "ui/component/ContinuousProgressComponent.h"
#include "ui/window/StandardWindow.h"
#include "vx/application/ApplicationInterfaces.h"

#include <string>
#include <string_view>

class InstallerWindow : public vx::application::IApplicationWindow {
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

    // Logs "In DoCallback for StandardWindow" and answers the string "nothing".
    vx::Variant DoCallback(const std::string& functionName, const vx::Variant::List& args) override;
    IApplicationWindow& getWindow() override { return *this; }
    void StartMove() override {}
    void StopMove() override {}
    void setApplication(std::shared_ptr<vx::application::IVXApplication> app) override {
        application_ = std::move(app);
    }
    std::shared_ptr<vx::application::IVXApplication> getApplication() const override {
        return application_;
    }

private:
    std::shared_ptr<vx::application::IVXApplication> application_;
    ui::window::StandardWindow window_;
    ui::component::ContinuousProgressComponent progress_;
    ui::component::CenteredLabelComponent label_;
};
