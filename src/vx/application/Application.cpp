#include "vx/application/Application.h"

#include "runtime/Exception.h"
#include "runtime/Strings.h"
#include "vx/config/ConfigScalar.h"
#include "vx/config/app.h"
#include "vx/logger.h"
#include "vx/text.h"
#include "vx/vxpath.h"

#include <map>
#include <mutex>
#include <vector>

namespace vx::application {
namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<IPlugin>> plugins;
};

Registry& registry() {
    static Registry r;
    return r;
}

} // namespace

void VXApplication::registerInterface(const std::string& name, std::shared_ptr<IPlugin> plugin) {
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        r.plugins[name] = plugin;
    }
    plugin->setApplication(shared_from_this());
}

std::shared_ptr<IPlugin> VXApplication::getInterface(const std::string& name) const {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    const auto it = r.plugins.find(name);
    return it == r.plugins.end() ? nullptr : it->second;
}

void VXApplication::loadPlugins(const config::Config& config) {
    logger::info("loadPlugins");
    std::shared_ptr<config::Config> plugins;
    try {
        plugins = std::dynamic_pointer_cast<config::Config>(config.get("plugins"));
    } catch (const std::exception&) {
        plugins.reset();
    }
    if (!plugins) {
        logger::info("No plugins to load!");
        return;
    }
    plugins->forEach([&](const std::string& key, const std::shared_ptr<config::ConfigBase>& node) {
        const auto value = std::dynamic_pointer_cast<config::ConfigText>(node);
        if (!value) {
            throw runtime::Exception("The plugin entry " + key + " is not a text");
        }
        const std::vector<std::string> pieces = runtime::split(value->value(), ':');
        if (pieces.size() < 2) {
            throw runtime::Exception("The plugin entry " + key + " is not library:factory");
        }
        const auto variables = config::app::GetAppRegistry(name());
        const std::string library = vxpath::normalise(text::substitute(pieces[0], variables, false));
        logger::info("Loading interface: " + key + " from library: " + library +
                     " factory function: " + pieces[1]);
        try {
            if (key != "IVXContentContext") {
                throw runtime::Exception("Unknown plugin interface: " + key);
            }
            // Known, and nothing of it needs loading in this program.
        } catch (const std::exception& e) {
            logger::info(std::string(e.what()));
            throw;
        }
        return 0;
    });
    logger::info("Finished loadPlugins");
}

} // namespace vx::application
