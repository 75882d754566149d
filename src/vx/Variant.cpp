#include "vx/Variant.h"

#include "runtime/Format.h"

namespace vx {

long double Variant::asNumber() const {
    if (const long double* v = ifExtended()) {
        return *v;
    }
    if (const double* v = ifDouble()) {
        return *v;
    }
    if (const float* v = ifFloat()) {
        return *v;
    }
    mismatch("a number");
}

const char* Variant::kindName(Kind kind) noexcept {
    switch (kind) {
    case Kind::Empty: return "empty";
    case Kind::Bool: return "a bool";
    case Kind::Int32: return "a 32-bit integer";
    case Kind::Float: return "a single-precision number";
    case Kind::Double: return "a double-precision number";
    case Kind::Extended: return "an extended-precision number";
    case Kind::String: return "a string";
    case Kind::List: return "a list";
    case Kind::Map: return "an object";
    case Kind::StringList: return "a list of strings";
    case Kind::Config: return "a configuration node";
    case Kind::Record: return "an application record";
    case Kind::RecordList: return "a list of application records";
    case Kind::Dispatch: return "a dispatch reference";
    case Kind::NullPointer: return "a null pointer";
    }
    return "unknown";
}

void Variant::mismatch(const char* wanted) const {
    throw TypeMismatch(runtime::format("Type mismatch: expected {}, got {}", wanted, kindName(kind())));
}

} // namespace vx
