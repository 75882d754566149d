// A decoded movie call: the function's dotted name as it stood in the request, and
// its arguments in document order.
#pragma once

#include "vx/Variant.h"

#include <optional>
#include <string>

namespace external {

class ExternalInterfaceCall {
public:
    explicit ExternalInterfaceCall(std::string functionName) : functionName_(std::move(functionName)) {}

    void addArgument(vx::Variant argument) { arguments_.push_back(std::move(argument)); }

    const std::string& getFunctionName() const noexcept { return functionName_; }
    const vx::Variant::List& getArguments() const noexcept { return arguments_; }

    // The log form of one argument: "null", "true"/"false", a string as it is, a number;
    // nothing for any other kind.
    static std::optional<std::string> formatArgument(const vx::Variant& argument);

    // For the log: "Function name: NAME\n", then, when there are arguments,
    // "Arguments:\n" and "\tVALUE\n" for each argument that has a log form.
    std::string toString() const;

private:
    std::string functionName_;
    vx::Variant::List arguments_;
};

} // namespace external
