#include "vx/search/provider/Algorithm.h"

#include "vx/Exception.h"
#include "vx/config/Config.h"
#include "vx/search/provider/Factory.h"

namespace vx::search::provider {

std::shared_ptr<Provider> Algorithm::choose() {
    const std::shared_ptr<config::Config> desktop = files_.desktopConfig();
    const auto registry = std::dynamic_pointer_cast<config::Config>(desktop->get("appregistry"));
    if (!registry) {
        throw VXException("appregistry is not a section");
    }
    std::string chosen;
    std::string latest; // empty: an application must have a non-empty "installed" to win
    registry->forEach(
        [&](const std::string& app, const std::shared_ptr<config::ConfigBase>& entry) {
            std::string installed = settingText(*entry, {"installed"});
            if (installed > latest) {
                latest = std::move(installed);
                chosen = app;
            }
            return 0;
        });
    if (latest.empty()) {
        throw VXException("No installed applications detected");
    }
    const std::string name = settingText(*files_.appData(chosen), {"search", "default"});
    return ProviderFactory(files_).create(chosen, name);
}

} // namespace vx::search::provider
