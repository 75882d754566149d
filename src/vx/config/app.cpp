#include "vx/config/app.h"

#include "vx/Exception.h"
#include "vx/config/ConfigScalar.h"
#include "vx/vxpath.h"

#include <mutex>

namespace vx::config::app {
namespace {

using vxpath::join;

std::mutex cacheMutex;
std::shared_ptr<Config> desktopData;
std::shared_ptr<Config> desktopConfig;
std::map<std::string, std::shared_ptr<Config>> appData;
std::map<std::string, std::shared_ptr<Config>> appConfig;
std::map<std::string, std::shared_ptr<Config>> appUserConfig;

std::unique_ptr<ConfigParser>& sharedParser() {
    static std::unique_ptr<ConfigParser> p;
    return p;
}
std::once_flag parserOnce;

std::string configFile(const std::string& folder, const char* name) {
    return join(join(folder, "config"), name);
}

// Parsing happens outside the lock; the first tree stored wins.
std::shared_ptr<Config> cached(std::shared_ptr<Config>& slot, const std::string& path) {
    {
        std::lock_guard<std::mutex> lock(cacheMutex);
        if (slot) {
            return slot;
        }
    }
    std::shared_ptr<Config> tree = parser().parseFile(path);
    std::lock_guard<std::mutex> lock(cacheMutex);
    if (!slot) {
        slot = std::move(tree);
    }
    return slot;
}

std::shared_ptr<Config> cached(std::map<std::string, std::shared_ptr<Config>>& cache,
                               const std::string& app, const char* name) {
    {
        std::lock_guard<std::mutex> lock(cacheMutex);
        if (auto it = cache.find(app); it != cache.end()) {
            return it->second;
        }
    }
    std::shared_ptr<Config> tree = parser().parseFile(configFile(vxpath::GetAppDirectory(app), name));
    std::lock_guard<std::mutex> lock(cacheMutex);
    return cache.emplace(app, std::move(tree)).first->second;
}

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

void initialise() { parser(); }

ConfigParser& parser() {
    std::call_once(parserOnce, [] { sharedParser() = std::make_unique<ConfigParser>(); });
    return *sharedParser();
}

std::shared_ptr<Config> GetDesktopData() {
    return cached(desktopData, configFile(vxpath::GetCommonDataDirectory(), "desktopdata.cfg"));
}

std::shared_ptr<Config> GetDesktopConfig() {
    return cached(desktopConfig, configFile(vxpath::GetCommonDataDirectory(), "desktopconfig.cfg"));
}

std::shared_ptr<Config> GetAppData(const std::string& app) {
    return cached(appData, app, "appdata.cfg");
}

std::shared_ptr<Config> GetAppConfig(const std::string& app) {
    return cached(appConfig, app, "appconfig.cfg");
}

std::shared_ptr<Config> GetAppUserConfig(const std::string& app) {
    return cached(appUserConfig, app, "appuserconfig.cfg");
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
