#include "tulip/vxcore/VXCoreNamespace.h"

#include "tulip/vxcore/install.h"

namespace tulip::vxcore {

VXCoreNamespace::VXCoreNamespace(external::proxy::Context application) {
    setContext(application);
    setName("vxcore");
    addNamespace("search", std::make_shared<SearchNamespace>(application));
    addNamespace("config", std::make_shared<ConfigNamespace>(application));
    addNamespace("install", std::make_shared<InstallNamespace>(application));
}

// The functions of the three children are registered here, in their fixed order, as
// they are built.

ConfigNamespace::ConfigNamespace(external::proxy::Context application) {
    setContext(std::move(application));
    setName("config");
}

InstallNamespace::InstallNamespace(external::proxy::Context application) {
    setContext(std::move(application));
    setName("install");
    install::registerFunctions(*this);
}

SearchNamespace::SearchNamespace(external::proxy::Context application) {
    setContext(std::move(application));
    setName("search");
}

} // namespace tulip::vxcore
