#include "vx/config/ConfigFiles.h"

#include "vx/vxpath.h"

namespace vx::config {

namespace {

std::string configFile(const std::string& folder, const char* name) {
    return vxpath::join(vxpath::join(folder, "config"), name);
}

} // namespace

ConfigFiles::ConfigFiles(std::string dataFolder, ConfigParser& parser)
    : dataFolder_(std::move(dataFolder)), parser_(parser) {}

std::string ConfigFiles::desktopFile(const char* name) const {
    return configFile(dataFolder_, name);
}

// Parsing happens outside the lock; the first tree stored wins.
std::shared_ptr<Config> ConfigFiles::cached(Slot& slot, const std::string& path) {
    {
        std::lock_guard<std::mutex> lock(cacheMutex_);
        if (slot) {
            return slot;
        }
    }
    std::shared_ptr<Config> tree = parser_.parseFile(path);
    std::lock_guard<std::mutex> lock(cacheMutex_);
    if (!slot) {
        slot = std::move(tree);
    }
    return slot;
}

std::shared_ptr<Config> ConfigFiles::cachedForApp(std::map<std::string, Slot>& cache,
                                                  const std::string& app, const char* name) {
    {
        std::lock_guard<std::mutex> lock(cacheMutex_);
        if (auto it = cache.find(app); it != cache.end()) {
            return it->second;
        }
    }
    std::shared_ptr<Config> tree =
        parser_.parseFile(configFile(vxpath::join(dataFolder_, app), name));
    std::lock_guard<std::mutex> lock(cacheMutex_);
    return cache.emplace(app, std::move(tree)).first->second;
}

std::shared_ptr<Config> ConfigFiles::desktopData() {
    return cached(desktopData_, desktopFile("desktopdata.cfg"));
}

std::shared_ptr<Config> ConfigFiles::desktopConfig() {
    return cached(desktopConfig_, desktopFile("desktopconfig.cfg"));
}

std::shared_ptr<Config> ConfigFiles::appData(const std::string& app) {
    return cachedForApp(appData_, app, "appdata.cfg");
}

std::shared_ptr<Config> ConfigFiles::appConfig(const std::string& app) {
    return cachedForApp(appConfig_, app, "appconfig.cfg");
}

std::shared_ptr<Config> ConfigFiles::appUserConfig(const std::string& app) {
    return cachedForApp(appUserConfig_, app, "appuserconfig.cfg");
}

void ConfigFiles::changeDesktopConfig(const std::function<void(Config& tree)>& change) {
    std::lock_guard<std::mutex> changing(changeMutex_);
    const std::shared_ptr<Config> current = desktopConfig();
    std::shared_ptr<Config> next = current->clone();
    change(*next);
    next->save();
    std::lock_guard<std::mutex> lock(cacheMutex_);
    desktopConfig_ = std::move(next);
}

} // namespace vx::config
