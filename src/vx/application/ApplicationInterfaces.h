// How parts of the program see the application object and each other: the
// application keeps a registry of named plug-ins through which separate parts find
// each other (the start-up registers the movie's host window under
// "IApplicationWindow", the script namespaces look it up).
#pragma once

#include <memory>
#include <string>

namespace vx::application {

class IPlugin;

class IVXApplication {
public:
    virtual ~IVXApplication() = default;
    virtual std::string name() const = 0;
    // The plug-in registered under `name` (exact, case-sensitive), or null. Callers
    // convert it to the interface they expect (std::dynamic_pointer_cast).
    virtual std::shared_ptr<IPlugin> getInterface(const std::string& name) const = 0;
    // Stores `plugin` (not null) under `name`, replacing an earlier one, and hands it
    // this application.
    virtual void registerInterface(const std::string& name, std::shared_ptr<IPlugin> plugin) = 0;
};

class IPlugin {
public:
    virtual ~IPlugin() = default;
    virtual void setApplication(std::shared_ptr<IVXApplication> app) = 0;
    virtual std::shared_ptr<IVXApplication> getApplication() const = 0;
};

// A content context plug-in; nothing of it is used beyond its name.
class IVXContentContext : public IPlugin {};

} // namespace vx::application
