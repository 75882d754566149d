#include "ui/component/ContinuousProgressComponent.h"

#include "runtime/Thread.h"

#include <commctrl.h>

#include <chrono>
#include <mutex>
#include <thread>

namespace ui::component {
namespace {

class AnimationThread : public runtime::Thread {
public:
    explicit AnimationThread(std::shared_ptr<ContinuousProgressComponent::Animation> animation)
        : animation_(std::move(animation)) {}

protected:
    void run() override {
        while (!animation_->stopped.load()) {
            PostMessageW(animation_->bar, PBM_STEPIT, 0, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

private:
    std::shared_ptr<ContinuousProgressComponent::Animation> animation_;
};

void registerProgressClass() {
    static std::once_flag once;
    std::call_once(once, [] {
        INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
    });
}

} // namespace

ContinuousProgressComponent::ContinuousProgressComponent() { className_ = PROGRESS_CLASSW; }

ContinuousProgressComponent::~ContinuousProgressComponent() { stop(); }

HWND ContinuousProgressComponent::create() {
    registerProgressClass();
    BaseComponent::create();
    if (handle_ == nullptr) {
        return nullptr;
    }
    SendMessageW(handle_, PBM_SETSTEP, 1, 0);
    animation_->bar = handle_;
    std::make_shared<AnimationThread>(animation_)->start();
    return handle_;
}

void ContinuousProgressComponent::stop() noexcept { animation_->stopped.store(true); }

} // namespace ui::component
