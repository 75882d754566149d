#include "vx/search/provider/Factory.h"

#include "vx/search/provider/Algorithm.h"
#include "vx/search/provider/MSNProvider.h"

namespace vx::search::provider {

std::shared_ptr<Provider> ProviderFactory::getProvider(const std::string& app, std::string name) {
    if (!app.empty() && name.empty()) {
        try {
            name = settingText(*files_.appData(app), {"search", "default"});
        } catch (const std::exception&) {
            name.clear();
        }
    }
    if (app.empty()) {
        return Algorithm(files_).choose();
    }
    return create(app, name);
}

std::shared_ptr<Provider> ProviderFactory::create(const std::string& app, const std::string& name) {
    if (name == "MSN") {
        return std::make_shared<MSNProvider>(app, name, files_);
    }
    return std::make_shared<Provider>(app, name);
}

} // namespace vx::search::provider
