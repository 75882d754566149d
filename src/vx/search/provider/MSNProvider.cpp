#include "vx/search/provider/MSNProvider.h"

#include "vx/config/Config.h"

namespace vx::search::provider {

MSNProvider::MSNProvider(std::string app, std::string name, config::ConfigFiles& files)
    : Provider(std::move(app), std::move(name)), files_(files) {}

std::string MSNProvider::cohort(const Parameters& parameters) {
    const auto fromEntry = parameters.find("from");
    const std::string from = fromEntry == parameters.end() ? std::string() : fromEntry->second;
    try {
        return settingText(*files_.desktopConfig(), {"search", "MSN", "searchcohort", from});
    } catch (const std::exception&) {
        // not stored: decided below
    }
    if (from != "ie") {
        return {};
    }
    bool initialMsn = false;
    try {
        initialMsn = settingText(*files_.desktopConfig(), {"search", "initialprovider"}) == "MSN";
    } catch (const std::exception&) {
        // unreadable counts as another provider
    }
    const std::string decided = initialMsn ? "1" : "2";
    files_.changeDesktopConfig([&](config::Config& tree) {
        config::setValueAt({"search", "MSN", "searchcohort", "ie", decided}, tree);
    });
    return decided;
}

Parameters& MSNProvider::addParameters(const std::string& query, Parameters& parameters) {
    if (const std::string sc = cohort(parameters); !sc.empty()) {
        parameters["sc"] = sc;
    }
    return Provider::addParameters(query, parameters);
}

} // namespace vx::search::provider
