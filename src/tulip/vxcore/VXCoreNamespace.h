// "tulip.vxcore" and its three children: the product-level services the movie reaches.
//   vxcore:  "search" (1), "config" (2), "install" (3)
//   config:  the configuration trees of the product and its applications
//   install: installing, uninstalling and querying applications
//   search:  the search settings
// Every constructor makes the application object its context and hands it on to the
// namespaces it creates.
#pragma once

#include "external/proxy/NamespaceResolver.h"

namespace tulip::vxcore {

class VXCoreNamespace : public external::proxy::NamespaceResolver {
public:
    explicit VXCoreNamespace(external::proxy::Context application);
};

class ConfigNamespace : public external::proxy::NamespaceResolver {
public:
    explicit ConfigNamespace(external::proxy::Context application);
};

class InstallNamespace : public external::proxy::NamespaceResolver {
public:
    explicit InstallNamespace(external::proxy::Context application);
};

class SearchNamespace : public external::proxy::NamespaceResolver {
public:
    explicit SearchNamespace(external::proxy::Context application);
};

} // namespace tulip::vxcore
