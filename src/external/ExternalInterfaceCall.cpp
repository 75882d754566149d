#include "external/ExternalInterfaceCall.h"

#include "runtime/Format.h"

#include <charconv>

namespace external {

std::optional<std::string> ExternalInterfaceCall::formatArgument(const vx::Variant& argument) {
    using Kind = vx::Variant::Kind;
    switch (argument.kind()) {
    case Kind::Empty:
        return std::string("null");
    case Kind::Bool:
        return std::string(argument.asBool() ? "true" : "false");
    case Kind::String:
        return argument.asString();
    case Kind::Extended: {
        // Shortest text that reads back to the same value: "3", "0.1", "1e+300".
        char buffer[64];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, *argument.ifExtended());
        return std::string(buffer, result.ptr);
    }
    default:
        return std::nullopt;
    }
}

std::string ExternalInterfaceCall::toString() const {
    std::string text = runtime::format("Function name: {}\n", functionName_);
    if (!arguments_.empty()) {
        text += "Arguments:\n";
        for (const vx::Variant& argument : arguments_) {
            if (auto form = formatArgument(argument)) {
                text += '\t';
                text += *form;
                text += '\n';
            }
        }
    }
    return text;
}

} // namespace external
