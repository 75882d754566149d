// The program's application object: a VXApplication named "VXInstaller", created by
// the main loop when the movie's host window opens.
#pragma once

#include "vx/application/Application.h"

namespace installer {

class InstallerApplication : public vx::application::VXApplication {
public:
    InstallerApplication() : VXApplication("VXInstaller") {}
};

} // namespace installer
