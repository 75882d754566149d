// The root of the names the movie calls: "tulip", with the members "browser",
// "vxcore", "window", "init" and "GetAppName" (ids 1 to 5, in that order).
//
// The movie host builds a fresh tree for every movie call, bound to the application
// object; every function in the tree receives that object.
#pragma once

#include "external/proxy/NamespaceResolver.h"

namespace tulip {

class TulipNamespace : public external::proxy::NamespaceResolver {
public:
    explicit TulipNamespace(external::proxy::Context application);
};

// "tulip.init": nothing but an integer of no meaning.
vx::Variant init(const vx::Variant::List& args, const external::proxy::Context& context);
// "tulip.GetAppName": the application object's name, as a string.
vx::Variant GetAppName(const vx::Variant::List& args, const external::proxy::Context& context);

} // namespace tulip
