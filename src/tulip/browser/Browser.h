// The browser test the movie can call.
#pragma once

#include "external/proxy/NamespaceResolver.h"

namespace tulip::browser {

// Whether Firefox is installed: HKLM "SOFTWARE\Mozilla\Mozilla Firefox" names its
// "CurrentVersion", whose "<version>\Main" subkey names "PathToExe", and that path
// exists. A missing key or subkey answers false; a value that is there but cannot
// be read as a string throws. Arguments are not looked at. Off Windows there is no
// registry to hold the keys, so the answer is false.
vx::Variant IsFirefoxInstalled(const vx::Variant::List& args, const external::proxy::Context& context);

} // namespace tulip::browser
