// What the main loop does once the start-up worker reports that everything is
// ready: open the window that plays the installer movie and create the
// application object around it.
#pragma once

#include <memory>
#include <string>

class FinboxWindow;

namespace installer {

class InstallerApplication;

struct MovieWindowSettings {
    std::string moviePath;
    std::string title;
    int width = 0;
    int height = 0;
};

// Creates the host window (icon resource "IDI_ICON1"), the application object
// "VXInstaller" and registers the window with it under "IApplicationWindow". Main
// thread, inside the message loop; once.
void launchInstallerUi(const MovieWindowSettings& settings);

// The host window and the application object, null before the launch.
std::shared_ptr<FinboxWindow> hostWindow();
std::shared_ptr<InstallerApplication> application();

// Destroys the host window, if any, once the message loop has ended: the control
// library must not be unloaded under a live player window. Main thread.
void closeInstallerUi();

} // namespace installer
