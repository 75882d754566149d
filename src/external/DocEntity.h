// The five XML entities of the movie's value format.
//
// encodeEntities replaces '"', '>', '<', '&' and '\'' by "&quot;", "&gt;", "&lt;",
// "&amp;" and "&apos;" in one pass; every other byte is copied. decodeEntities turns
// exactly those five entities back; any other "&" (numeric references included) is
// kept as it stands. Both hand back their input unchanged when there is nothing to
// replace. Pure functions.
#pragma once

#include <string>
#include <string_view>

namespace external {

std::string encodeEntities(std::string_view text);
std::string decodeEntities(std::string_view text);

} // namespace external
