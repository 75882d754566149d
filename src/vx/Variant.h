// The script value shared by the movie bridge, the script namespaces and the install
// workers: empty, or exactly one value of the kinds below.
//
// Values that come from the movie are only empty, bool, extended-precision numbers,
// strings, lists and maps. The other kinds are made by the program and travel back to
// the movie (string lists, configuration nodes, installed-application records) or
// through the automation face (dispatch references). `NullPointer` is what a function
// returns when the movie is to get an empty reply: the reply writer writes nothing for it.
//
// A Variant is a plain value: copies are deep for lists and maps, and share the
// objects behind the reference kinds (configuration nodes, records, dispatch
// references). Not shared between threads without a lock of the caller's.
#pragma once

#include "runtime/Exception.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// The COM automation interface; only Windows code creates or calls such references.
struct IDispatch;

namespace vx {

namespace config {
class ConfigBase;
}
class ListAppsVariant;

// Taking a value as a kind it does not hold.
class TypeMismatch : public runtime::Exception {
public:
    using runtime::Exception::Exception;
};

class Variant {
public:
    using List = std::vector<Variant>;
    using Map = std::map<std::string, Variant, std::less<>>;
    using StringList = std::vector<std::string>;
    using ConfigRef = std::shared_ptr<config::ConfigBase>;
    using RecordRef = std::shared_ptr<ListAppsVariant>;
    using RecordList = std::vector<RecordRef>;
    // Holds one reference: the deleter releases it (see Windows code that makes one).
    using DispatchRef = std::shared_ptr<IDispatch>;

    // In the order of the alternatives below.
    enum class Kind {
        Empty,
        Bool,
        Int32,
        Float,
        Double,
        Extended,
        String,
        List,
        Map,
        StringList,
        Config,
        Record,
        RecordList,
        Dispatch,
        NullPointer,
    };

    Variant() = default;
    Variant(bool value) : value_(value) {}
    Variant(std::int32_t value) : value_(value) {}
    Variant(float value) : value_(value) {}
    Variant(double value) : value_(value) {}
    Variant(long double value) : value_(value) {}
    Variant(std::string value) : value_(std::move(value)) {}
    Variant(std::string_view value) : value_(std::string(value)) {}
    Variant(const char* value) : value_(std::string(value)) {}
    Variant(List value) : value_(std::move(value)) {}
    Variant(Map value) : value_(std::move(value)) {}
    Variant(StringList value) : value_(std::move(value)) {}
    Variant(ConfigRef value) : value_(std::move(value)) {}
    Variant(RecordRef value) : value_(std::move(value)) {}
    Variant(RecordList value) : value_(std::move(value)) {}
    Variant(DispatchRef value) : value_(std::move(value)) {}

    // The value that produces no reply element at all.
    static Variant nullPointer() {
        Variant v;
        v.value_ = NullPointerTag{};
        return v;
    }

    Kind kind() const noexcept { return static_cast<Kind>(value_.index()); }
    bool empty() const noexcept { return kind() == Kind::Empty; }
    bool is(Kind k) const noexcept { return kind() == k; }

    // Taking the value as a kind: throws TypeMismatch for any other kind.
    bool asBool() const { return get<bool>("a bool"); }
    std::int32_t asInt32() const { return get<std::int32_t>("a 32-bit integer"); }
    const std::string& asString() const { return get<std::string>("a string"); }
    const List& asList() const { return get<List>("a list"); }
    const Map& asMap() const { return get<Map>("an object"); }
    const StringList& asStringList() const { return get<StringList>("a list of strings"); }
    const ConfigRef& asConfig() const { return get<ConfigRef>("a configuration node"); }
    const RecordRef& asRecord() const { return get<RecordRef>("an application record"); }
    const RecordList& asRecordList() const { return get<RecordList>("a list of application records"); }
    const DispatchRef& asDispatch() const { return get<DispatchRef>("a dispatch reference"); }

    // Any of the three floating-point kinds, widened; other kinds throw TypeMismatch.
    long double asNumber() const;

    // Exact access to one floating-point kind, for code that must tell them apart.
    const float* ifFloat() const noexcept { return std::get_if<float>(&value_); }
    const double* ifDouble() const noexcept { return std::get_if<double>(&value_); }
    const long double* ifExtended() const noexcept { return std::get_if<long double>(&value_); }

    // The kind's name, for error texts.
    static const char* kindName(Kind kind) noexcept;

private:
    struct NullPointerTag {};

    template <typename T>
    const T& get(const char* wanted) const {
        if (const T* v = std::get_if<T>(&value_)) {
            return *v;
        }
        mismatch(wanted);
    }
    [[noreturn]] void mismatch(const char* wanted) const;

    std::variant<std::monostate, bool, std::int32_t, float, double, long double, std::string,
                 List, Map, StringList, ConfigRef, RecordRef, RecordList, DispatchRef,
                 NullPointerTag>
        value_;
};

} // namespace vx
