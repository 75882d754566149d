#include "vx/search/Search.h"

#include "vx/Exception.h"
#include "vx/config/Config.h"
#include "vx/config/ConfigScalar.h"
#include "vx/config/app.h"
#include "vx/logger.h"
#include "vx/search/provider/Factory.h"
#include "vx/text.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"

namespace vx::search {

Search::Search() : Search(config::app::files(), runtime::net::systemResolver()) {}

Search::Search(config::ConfigFiles& files, const runtime::net::HostResolver& resolver)
    : files_(files), resolver_(resolver) {}

std::string Search::templateOf(const provider::Provider& provider) {
    return settingText(*files_.appData(provider.app()), {"search", provider.name(), "url"});
}

std::string Search::buildUrl(const std::string& query, const std::string& from,
                             const std::string& f, const std::string& sbs, const std::string& app,
                             const std::string& providerName) {
    if (query.find(' ') == std::string::npos && query.find('.') != std::string::npos &&
        resolver_.resolves(query)) {
        return "http://" + query;
    }
    logger::write(logger::Level::Info, query);

    Parameters parameters;
    parameters["from"] = from;
    parameters["f"] = f;
    parameters["sbs"] = sbs;

    provider::ProviderFactory factory(files_);
    std::shared_ptr<provider::Provider> chosen = factory.getProvider(app, providerName);
    addCommonParameters(*chosen, parameters, query);
    replaceBlanks(parameters);

    std::string pattern;
    try {
        pattern = templateOf(*chosen);
    } catch (const std::exception&) {
        chosen = factory.getProvider("", "");
        pattern = templateOf(*chosen);
    }
    if (pattern.empty()) {
        logger::info("sUrl is definitely null");
    }
    try {
        return text::substitute(pattern, parameters, true);
    } catch (const runtime::Exception&) {
        // substitute's own error has no text: name what was wrong.
        throw runtime::Exception(runtime::format(
            "The search address template of {}/{} is malformed", chosen->app(), chosen->name()));
    }
}

Parameters& Search::replaceBlanks(Parameters& parameters) {
    for (auto& [key, value] : parameters) {
        for (char& c : value) {
            if (c == ' ') {
                c = '+';
            }
        }
    }
    return parameters;
}

Parameters& Search::mergeSettings(Parameters& parameters, const config::Config& section) {
    section.forEach([&](const std::string& key, const std::shared_ptr<config::ConfigBase>& node) {
        const auto* text = dynamic_cast<const config::ConfigText*>(node.get());
        if (text == nullptr) {
            throw VXException(runtime::format("The setting {} is not a text", key));
        }
        parameters[key] = text->value();
        return 0;
    });
    return parameters;
}

Parameters& Search::addCommonParameters(provider::Provider& provider, Parameters& parameters,
                                        const std::string& query) {
    const std::string app = provider.app();
    parameters["q"] = query;
    parameters["app"] = app;

    std::string desktopId;
    try {
        desktopId = settingText(*files_.desktopConfig(), {"desktopid"});
    } catch (const std::exception&) {
        desktopId = kDefaultDesktopId;
    }
    parameters["tbid"] = desktopId;
    parameters["did"] = desktopId;

    try {
        parameters["lcid"] = settingText(*files_.appUserConfig(app), {"lcid"});
    } catch (const std::exception&) {
        parameters["lcid"] = "en-us";
    }

    provider.addParameters(query, parameters);

    try {
        mergeSettings(parameters, *files_.appConfig(app));
    } catch (const std::exception&) {
        // optional: what was merged before the error stays
    }
    try {
        mergeSettings(parameters, *files_.appUserConfig(app));
    } catch (const std::exception&) {
        // as above
    }
    return parameters;
}

} // namespace vx::search
