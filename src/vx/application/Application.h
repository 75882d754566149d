// The base of the program's application object: a name and the process-wide
// registry of named plug-ins.
//
// The registry is shared by every VXApplication of the process and guarded, so any
// thread may register and look up; nothing is ever removed. Applications are owned
// by std::shared_ptr (registerInterface hands the plug-in a shared reference).
#pragma once

#include "vx/application/ApplicationInterfaces.h"
#include "vx/config/Config.h"

namespace vx::application {

class VXApplication : public IVXApplication,
                      public std::enable_shared_from_this<VXApplication> {
public:
    explicit VXApplication(std::string name) : name_(std::move(name)) {}

    std::string name() const override { return name_; }
    void registerInterface(const std::string& name, std::shared_ptr<IPlugin> plugin) override;
    std::shared_ptr<IPlugin> getInterface(const std::string& name) const override;

    // Announces the plug-ins of `config`'s "plugins" section (key: interface name,
    // value: "library:factory"; the library path may use the variables of
    // GetAppRegistry(name())). "IVXContentContext" is the one interface known, and
    // nothing is loaded for it; any other name is an error. Without a "plugins"
    // section nothing happens. Errors reach the caller.
    virtual void loadPlugins(const config::Config& config);

private:
    std::string name_;
};

} // namespace vx::application
