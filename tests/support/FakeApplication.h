// An application object for code that needs one outside the program (tests, fuzz
// targets, benchmarks): a name and a plain registry of plug-ins, nothing shared with
// other instances. One thread at a time.
#pragma once

#include "vx/application/ApplicationInterfaces.h"

#include <map>
#include <memory>
#include <string>

namespace testing_support {

class FakeApplication : public vx::application::IVXApplication {
public:
    explicit FakeApplication(std::string name = "VXInstaller") : name_(std::move(name)) {}

    std::string name() const override { return name_; }
    std::shared_ptr<vx::application::IPlugin> getInterface(const std::string& name) const override {
        const auto found = plugins_.find(name);
        return found == plugins_.end() ? nullptr : found->second;
    }
    void registerInterface(const std::string& name,
                           std::shared_ptr<vx::application::IPlugin> plugin) override {
        plugins_[name] = std::move(plugin);
    }

private:
    std::string name_;
    std::map<std::string, std::shared_ptr<vx::application::IPlugin>> plugins_;
};

} // namespace testing_support
