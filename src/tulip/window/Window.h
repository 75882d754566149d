// Dragging the movie's borderless window: the movie starts a drag when the user
// presses the button on its title area and may end it itself.
//
// Both find the window registered with the application under "IApplicationWindow",
// call it on the calling (window) thread and answer a null pointer, which the movie
// receives as an empty reply. Without such a window they throw. Arguments are not
// looked at.
#pragma once

#include "external/proxy/NamespaceResolver.h"

namespace tulip::window {

vx::Variant StartMove(const vx::Variant::List& args, const external::proxy::Context& context);
vx::Variant StopMove(const vx::Variant::List& args, const external::proxy::Context& context);

} // namespace tulip::window
