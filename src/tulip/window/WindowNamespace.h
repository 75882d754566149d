// "tulip.window": the members "StartMove" (id 1) and "StopMove" (id 2).
#pragma once

#include "external/proxy/NamespaceResolver.h"

namespace tulip::window {

class WindowNamespace : public external::proxy::NamespaceResolver {
public:
    explicit WindowNamespace(external::proxy::Context application);
};

} // namespace tulip::window
