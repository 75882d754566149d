#include "installer/StartupStages.h"

#include "finboxdynamic.h"
#include "vx/install/FlashInstaller.h"
#include "vx/net/http/HttpDownloader.h"
#include "vx/vxpath.h"

#include <thread>

namespace installer {
namespace {

class ProgramStages : public StartupStages {
public:
    bool isFlashInstalled(int major, int minor) override {
        return finboxdynamic::isFlashInstalled(major, minor);
    }

    void installFlash() override { vx::install::FlashInstaller::installFlash(); }

    void downloadMovie(const std::string& url, const std::string& path) override {
        vx::net::http::HttpDownloader().downloadToFile(url, path);
    }

    void writeTrustFile(const std::string& folder) override {
        vx::install::FlashInstaller::writeTrustFile(folder);
    }

#ifdef BRIVOLA_NO_LAUNCH_PAUSE
    // Benchmark builds: the pause would hide the start-up's own cost.
    void pauseBeforeLaunch(std::chrono::milliseconds) override {}
#endif
};

} // namespace

void StartupStages::pauseBeforeLaunch(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

std::unique_ptr<StartupStages> makeStartupStages() {
    return std::make_unique<ProgramStages>();
}

std::string movieFolder() {
    return vx::vxpath::join(vx::vxpath::GetCommonDataDirectory(), "static");
}

} // namespace installer
