#include "installer/HostLaunch.h"

#include "FinboxWindow.h"
#include "installer/InstallerApplication.h"

namespace installer {
namespace {

std::shared_ptr<FinboxWindow> window;
std::shared_ptr<InstallerApplication> app;

} // namespace

void launchInstallerUi(const MovieWindowSettings& settings) {
    window = std::make_shared<FinboxWindow>(settings.moviePath, settings.title, settings.width,
                                            settings.height, "IDI_ICON1");
    app = std::make_shared<InstallerApplication>();
    app->registerInterface("IApplicationWindow", window);
}

std::shared_ptr<FinboxWindow> hostWindow() {
    return window;
}

std::shared_ptr<InstallerApplication> application() {
    return app;
}

void closeInstallerUi() {
    if (window) {
        window->destroy();
    }
}

} // namespace installer
