// A child progress bar that animates by itself: from create() until stop(), a thread
// of its own advances it by one step every 50 ms, wrapping at the end of the range.
// It shows activity, not a percentage.
#pragma once

#include "ui/component/BaseComponent.h"

#include <atomic>
#include <memory>

namespace ui::component {

class ContinuousProgressComponent : public BaseComponent {
public:
    // Shared with the animation thread, which may outlive this object briefly.
    struct Animation {
        HWND bar = nullptr;
        std::atomic<bool> stopped{false};
    };

    ContinuousProgressComponent();
    // Stops the animation, so that no thread is left posting to a dead bar.
    ~ContinuousProgressComponent() override;

    // Creates the bar (the common controls' progress class is registered first),
    // sets a step of 1 and starts the animation. When the bar cannot be created
    // there is nothing to animate and no thread is started.
    HWND create() override;
    // Ends the animation within one step; any thread may call it.
    void stop() noexcept;

private:
    std::shared_ptr<Animation> animation_ = std::make_shared<Animation>();
};

} // namespace ui::component
