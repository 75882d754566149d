#include "vx/search/provider/Provider.h"

#include "vx/Exception.h"
#include "vx/config/Config.h"
#include "vx/config/ConfigScalar.h"

#include "runtime/Format.h"

namespace vx::search {

std::string settingText(const config::ConfigBase& root,
                        std::initializer_list<std::string_view> path) {
    const config::ConfigBase* node = &root;
    std::shared_ptr<config::ConfigBase> keep; // keeps each step alive while we walk on
    for (std::string_view name : path) {
        keep = node->get(std::string(name));
        node = keep.get();
    }
    const auto* text = dynamic_cast<const config::ConfigText*>(node);
    if (text == nullptr) {
        std::string where;
        for (std::string_view name : path) {
            where += where.empty() ? "" : "/";
            where += name;
        }
        throw VXException(runtime::format("The setting {} is not a text", where));
    }
    return text->value();
}

namespace provider {

Provider::Provider(std::string app, std::string name)
    : app_(std::move(app)), name_(std::move(name)) {}

std::string Provider::app() const {
    return app_;
}

std::string Provider::name() const {
    return name_;
}

Parameters& Provider::addParameters(const std::string&, Parameters& parameters) {
    parameters["csp"] = name();
    return parameters;
}

} // namespace provider
} // namespace vx::search
