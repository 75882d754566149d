// What the main loop does once the start-up worker reports that everything is
// ready: open the window that plays the installer movie and create the
// application object around it.
#pragma once

#include <string>

namespace installer {

struct MovieWindowSettings {
    std::string moviePath;
    std::string title;
    int width = 0;
    int height = 0;
};

// Runs on the main thread, inside the message loop.
void launchInstallerUi(const MovieWindowSettings& settings);

} // namespace installer
