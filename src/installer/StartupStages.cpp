#include "installer/StartupStages.h"

#include "vx/net/http/HttpDownloader.h"
#include "vx/vxpath.h"

#include <thread>

namespace installer {
namespace {

class ProgramStages : public StartupStages {
public:
    // PLACEHOLDER until the Flash Player bootstrap lands: reports Flash Player as
    // present, so no installer is downloaded.
    bool isFlashInstalled(int /*major*/, int /*minor*/) override { return true; }

    // PLACEHOLDER until the Flash Player bootstrap lands: never reached while
    // isFlashInstalled answers true.
    void installFlash() override {}

    void downloadMovie(const std::string& url, const std::string& path) override {
        vx::net::http::HttpDownloader().downloadToFile(url, path);
    }

    // PLACEHOLDER until the Flash Player bootstrap lands: writes nothing.
    void writeTrustFile(const std::string& /*folder*/) override {}
};

} // namespace

void StartupStages::pauseBeforeLaunch(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

std::unique_ptr<StartupStages> makeStartupStages() { return std::make_unique<ProgramStages>(); }

std::string movieFolder() { return vx::vxpath::join(vx::vxpath::GetCommonDataDirectory(), "static"); }

} // namespace installer
