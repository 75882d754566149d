#include "tulip/window/Window.h"

#include "runtime/Exception.h"

namespace tulip::window {
namespace {

vx::application::IApplicationWindow& applicationWindow(const external::proxy::Context& context) {
    if (!context) {
        throw runtime::Exception("No application object to find the window through");
    }
    auto window = std::dynamic_pointer_cast<vx::application::IApplicationWindow>(
        context->getInterface("IApplicationWindow"));
    if (!window) {
        throw runtime::Exception("No window is registered under IApplicationWindow");
    }
    // The registry keeps the window alive as long as the application.
    return window->getWindow();
}

} // namespace

vx::Variant StartMove(const vx::Variant::List&, const external::proxy::Context& context) {
    applicationWindow(context).StartMove();
    return vx::Variant::nullPointer();
}

vx::Variant StopMove(const vx::Variant::List&, const external::proxy::Context& context) {
    applicationWindow(context).StopMove();
    return vx::Variant::nullPointer();
}

} // namespace tulip::window
