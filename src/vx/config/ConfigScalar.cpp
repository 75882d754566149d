#include "vx/config/ConfigScalar.h"

#include "vx/Exception.h"

#include <type_traits>

namespace vx::config {

template <class T> std::shared_ptr<ConfigBase> ConfigScalar<T>::get(const std::string&) const {
    throw VXException("Invalid operation!");
}

template <class T> bool ConfigScalar<T>::equalsBool(bool value) const {
    if constexpr (std::is_same_v<T, bool>) {
        return value_ == value;
    } else {
        (void)value;
        throw VXException("Invalid comparison!");
    }
}

template <class T> bool ConfigScalar<T>::equalsString(std::string_view value) const {
    if constexpr (std::is_same_v<T, std::string>) {
        return std::string_view(value_) == value;
    } else {
        (void)value;
        throw VXException("Invalid comparison!");
    }
}

template <class T> bool ConfigScalar<T>::equalsInt(std::int32_t value) const {
    if constexpr (std::is_same_v<T, std::int32_t>) {
        return value_ == value;
    } else {
        (void)value;
        throw VXException("Invalid comparison!");
    }
}

template <class T> bool ConfigScalar<T>::equalsNode(const ConfigBase&) const {
    throw VXException("Invalid comparison!");
}

template class ConfigScalar<bool>;
template class ConfigScalar<std::string>;
template class ConfigScalar<std::int32_t>;

} // namespace vx::config
