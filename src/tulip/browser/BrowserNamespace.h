// "tulip.browser": the member "IsFirefoxInstalled" (id 1).
#pragma once

#include "external/proxy/NamespaceResolver.h"

namespace tulip::browser {

class BrowserNamespace : public external::proxy::NamespaceResolver {
public:
    explicit BrowserNamespace(external::proxy::Context application);
};

} // namespace tulip::browser
