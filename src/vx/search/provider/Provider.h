// A search provider: the application whose data file holds the provider's section
// ("search" / <name>, with the address template under "url") and the section's name.
// A provider adds its own parameters to those of a search address.
//
// Providers are made for one search address and dropped after it; one thread uses one.
#pragma once

#include "vx/config/ConfigBase.h"

#include <initializer_list>
#include <map>
#include <string>
#include <string_view>

namespace vx::search {

// The named values of a search address, by name.
using Parameters = std::map<std::string, std::string>;

// The text value reached from `root` through the section names of `path`; throws
// VXException when a name is missing, a step is no section, or the end is no text.
std::string settingText(const config::ConfigBase& root,
                        std::initializer_list<std::string_view> path);

namespace provider {

class Provider {
public:
    Provider(std::string app, std::string name);
    virtual ~Provider() = default;

    virtual std::string app() const;
    virtual std::string name() const;

    // Sets "csp" to the provider's name and returns `parameters`.
    virtual Parameters& addParameters(const std::string& query, Parameters& parameters);

private:
    std::string app_;
    std::string name_;
};

} // namespace provider
} // namespace vx::search
