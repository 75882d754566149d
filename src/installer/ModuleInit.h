// Process-wide set-up that runs before the main function and is undone after every
// thread has ended. A failure here ends the program before any window is shown.
#pragma once

#include "runtime/win32/ComInit.h"

namespace installer {

class ModuleInit {
public:
    // Throws on failure; finboxdynamic::LoadError when the Flash control library
    // cannot be brought up.
    ModuleInit();
    ~ModuleInit();
    ModuleInit(const ModuleInit&) = delete;
    ModuleInit& operator=(const ModuleInit&) = delete;

private:
    runtime::win32::ComInit com_;
    // The constructor also creates the shared configuration parser and brings up
    // the Flash control library (finboxdynamic); the destructor unloads and deletes
    // the library.
};

} // namespace installer
