// Picks the provider of a search address.
//   getProvider(app, name): with an application and no name, the name is the
//     application's "search" / "default" (empty when it has none); without an
//     application, Algorithm chooses; otherwise create(app, name).
//   create(app, name): an MSNProvider for exactly "MSN", a plain Provider otherwise.
// Failures of Algorithm::choose reach the caller.
#pragma once

#include "vx/config/ConfigFiles.h"
#include "vx/search/provider/Provider.h"

#include <memory>
#include <string>

namespace vx::search::provider {

class ProviderFactory {
public:
    // `files` outlives the factory and the providers it makes.
    explicit ProviderFactory(config::ConfigFiles& files) : files_(files) {}
    virtual ~ProviderFactory() = default;

    virtual std::shared_ptr<Provider> getProvider(const std::string& app, std::string name);
    virtual std::shared_ptr<Provider> create(const std::string& app, const std::string& name);

private:
    config::ConfigFiles& files_;
};

} // namespace vx::search::provider
