#include "tulip/window/WindowNamespace.h"

#include "tulip/window/Window.h"

namespace tulip::window {

WindowNamespace::WindowNamespace(external::proxy::Context application) {
    setContext(std::move(application));
    setName("window");
    addFunction("StartMove", &StartMove);
    addFunction("StopMove", &StopMove);
}

} // namespace tulip::window
