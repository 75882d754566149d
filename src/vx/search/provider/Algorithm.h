// Chooses the provider when the movie names no application: the registered
// application (desktop configuration, "appregistry") installed last, by its
// "installed" text compared byte by byte (a proper prefix is smaller; on equal texts
// the earlier entry stays; an empty text is never chosen), with the provider named by
// its data's "search" / "default".
//
// Fails with "No installed applications detected" when nothing can be chosen, and
// with the configuration's error when the registry, an application's "installed" or
// the chosen application's default provider cannot be read.
#pragma once

#include "vx/config/ConfigFiles.h"
#include "vx/search/provider/Provider.h"

#include <memory>

namespace vx::search::provider {

class Algorithm {
public:
    // `files` outlives the algorithm and the providers it makes.
    explicit Algorithm(config::ConfigFiles& files) : files_(files) {}
    virtual ~Algorithm() = default;

    virtual std::shared_ptr<Provider> choose();

private:
    config::ConfigFiles& files_;
};

} // namespace vx::search::provider
