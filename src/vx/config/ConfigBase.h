// The node of a configuration tree: either a section (Config) or a single typed value
// (ConfigScalar). Callers hold nodes as std::shared_ptr<ConfigBase> and test which kind
// they reached with std::dynamic_pointer_cast.
//
// Failures are vx::VXException carrying the messages below; a failed call changes nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vx::config {

class ConfigBase {
public:
    virtual ~ConfigBase() = default;

    // A section: the node stored under `key` (fails when there is none).
    // A value: fails with "Invalid operation!".
    virtual std::shared_ptr<ConfigBase> get(const std::string& key) const = 0;

    // A value of the same kind: whether it equals the argument (texts byte by byte).
    // Any other node: fails with "Invalid comparison!".
    virtual bool equalsBool(bool value) const = 0;
    virtual bool equalsString(std::string_view value) const = 0;
    virtual bool equalsInt(std::int32_t value) const = 0;

    // A section: always false. A value: fails with "Invalid comparison!".
    virtual bool equalsNode(const ConfigBase& node) const = 0;

protected:
    ConfigBase() = default;
    ConfigBase(const ConfigBase&) = default;
    ConfigBase& operator=(const ConfigBase&) = default;
};

} // namespace vx::config
