// The slow start-up work that the start-up worker runs, one operation per stage.
// The worker calls them in order; tests hand it stages that fail on purpose.
#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace installer {

class StartupStages {
public:
    virtual ~StartupStages() = default;

    // True when the Flash Player control of at least major.minor is installed.
    virtual bool isFlashInstalled(int major, int minor) = 0;
    // Downloads and runs the Flash Player installer; VXException kinds on failure.
    virtual void installFlash() = 0;
    // Downloads the installer movie from `url` into the file `path`.
    virtual void downloadMovie(const std::string& url, const std::string& path) = 0;
    // Writes the Flash trust file that lets the movie in `folder` call the host.
    virtual void writeTrustFile(const std::string& folder) = 0;
    // The pause before the launch when Flash Player was already present: sleeps.
    virtual void pauseBeforeLaunch(std::chrono::milliseconds duration);
};

// The stages the program runs.
std::unique_ptr<StartupStages> makeStartupStages();

// The folder that holds the downloaded movie: the common data directory plus
// "static", in the product's "/"-separated form.
std::string movieFolder();

} // namespace installer
