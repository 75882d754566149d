// How parts of the program see the application object and each other: the
// application keeps a registry of named plug-ins through which separate parts find
// each other (the start-up registers the movie's host window under
// "IApplicationWindow", the script namespaces look it up).
#pragma once

#include "vx/Variant.h"

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

// The application's window as the rest of the program talks to it: the movie's host
// window, or the progress window with trivial answers, so that either can be handed
// to code that reports to "the window".
class IApplicationWindow : public IPlugin {
public:
    // Calls `functionName` inside the movie with `args` and returns its answer (the
    // raw response text as a string). May be called from any thread, and from several
    // at once; blocks the caller until the movie has answered.
    virtual Variant DoCallback(const std::string& functionName, const Variant::List& args) = 0;
    // This window, seen through this interface.
    virtual IApplicationWindow& getWindow() = 0;
    // Begin and end dragging the window with the mouse. Window thread only.
    virtual void StartMove() = 0;
    virtual void StopMove() = 0;
};

// A content context plug-in; nothing of it is used beyond its name.
class IVXContentContext : public IPlugin {};

} // namespace vx::application
