// Named-variable substitution in texts: "%(name)s" is replaced by the variable's
// value and "%%" by a single "%".
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace vx::text {

// Returns `text` with every reference replaced. A name that is not among
// `variables` is an error, or contributes nothing when `lenient`. A "%" followed by
// anything but "(" or "%", a reference closed by ")" and followed by anything but
// "s", and a text that ends inside a reference are errors. Every error is a
// runtime::Exception with an empty message; the input is never read past its end.
std::string substitute(std::string_view text, const std::map<std::string, std::string>& variables,
                       bool lenient);

} // namespace vx::text
