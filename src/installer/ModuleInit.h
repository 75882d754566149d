// Process-wide set-up that runs before the main function and is undone after every
// thread has ended. A failure here ends the program before any window is shown.
#pragma once

#include "runtime/win32/ComInit.h"

namespace installer {

class ModuleInit {
public:
    // Throws on failure.
    ModuleInit();
    ~ModuleInit();
    ModuleInit(const ModuleInit&) = delete;
    ModuleInit& operator=(const ModuleInit&) = delete;

private:
    runtime::win32::ComInit com_;
    // The constructor also creates the shared configuration parser. Later: the
    // Flash control library written out, loaded and resolved here (unloaded and
    // deleted on the way out).
};

} // namespace installer
