// One typed value of a configuration tree. Built for exactly three value types: bool,
// std::string (UTF-8 text) and std::int32_t. The value never changes after
// construction; a new value is stored by replacing the node in its section.
// Immutable, so any number of threads may read it at once.
#pragma once

#include "vx/config/ConfigBase.h"

#include <cstdint>
#include <string>

namespace vx::config {

template <class T> class ConfigScalar : public ConfigBase {
public:
    explicit ConfigScalar(T value) : value_(std::move(value)) {}

    // Fails with "Invalid operation!": a value has no keys.
    std::shared_ptr<ConfigBase> get(const std::string& key) const override;

    const T& value() const noexcept { return value_; }

    // True when this is a value of the argument's type and equal to it; a value of
    // another type fails with "Invalid comparison!".
    bool equalsBool(bool value) const override;
    bool equalsString(std::string_view value) const override;
    bool equalsInt(std::int32_t value) const override;

    // Fails with "Invalid comparison!".
    bool equalsNode(const ConfigBase& node) const override;

private:
    T value_;
};

extern template class ConfigScalar<bool>;
extern template class ConfigScalar<std::string>;
extern template class ConfigScalar<std::int32_t>;

using ConfigBool = ConfigScalar<bool>;
using ConfigText = ConfigScalar<std::string>;
using ConfigInt = ConfigScalar<std::int32_t>;

} // namespace vx::config
