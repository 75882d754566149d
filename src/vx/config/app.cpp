#include "vx/config/app.h"

#include "vx/Exception.h"
#include "vx/config/ConfigScalar.h"
#include "vx/vxpath.h"

#include <mutex>

namespace vx::config::app {
namespace {

std::unique_ptr<ConfigParser>& sharedParser() {
    static std::unique_ptr<ConfigParser> p;
    return p;
}
std::once_flag parserOnce;

std::shared_ptr<Config> section(const std::shared_ptr<ConfigBase>& node, const std::string& what) {
    auto s = std::dynamic_pointer_cast<Config>(node);
    if (!s) {
        throw VXException(what + " is not a section in desktopconfig.cfg");
    }
    return s;
}

std::string text(const std::shared_ptr<ConfigBase>& node, const std::string& what) {
    auto t = std::dynamic_pointer_cast<ConfigText>(node);
    if (!t) {
        throw VXException(what + " is not a text value in desktopconfig.cfg");
    }
    return t->value();
}

} // namespace

void initialise() {
    parser();
}

ConfigParser& parser() {
    std::call_once(parserOnce, [] { sharedParser() = std::make_unique<ConfigParser>(); });
    return *sharedParser();
}

ConfigFiles& files() {
    static ConfigFiles shared(vxpath::GetCommonDataDirectory(), parser());
    return shared;
}

std::shared_ptr<Config> GetDesktopData() {
    return files().desktopData();
}

std::shared_ptr<Config> GetDesktopConfig() {
    return files().desktopConfig();
}

std::shared_ptr<Config> GetAppData(const std::string& app) {
    return files().appData(app);
}

std::shared_ptr<Config> GetAppConfig(const std::string& app) {
    return files().appConfig(app);
}

std::shared_ptr<Config> GetAppUserConfig(const std::string& app) {
    return files().appUserConfig(app);
}

std::map<std::string, std::string> GetAppRegistry(const std::string& app) {
    const std::shared_ptr<Config> desktop = GetDesktopConfig();
    const auto registry = section(desktop->get("appregistry"), "appregistry");
    const auto entries = section(registry->get(app), "appregistry/" + app);
    std::map<std::string, std::string> out;
    entries->forEach([&](const std::string& key, const std::shared_ptr<ConfigBase>& node) {
        out[key] = text(node, "appregistry/" + app + "/" + key);
        return 0;
    });
    out["coredir"] = text(desktop->get("coredir"), "coredir");
    return out;
}

} // namespace vx::config::app
