#include "tulip/vxcore/VXCoreNamespace.h"

#include "tulip/vxcore/config.h"
#include "tulip/vxcore/install.h"
#include "tulip/vxcore/search.h"

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
    addFunction("GetDesktopData", &config::GetDesktopData);
    addFunction("GetDesktopConfig", &config::GetDesktopConfig);
    addFunction("GetAppData", &config::GetAppData);
    addFunction("GetAppConfig", &config::GetAppConfig);
}

InstallNamespace::InstallNamespace(external::proxy::Context application) {
    setContext(std::move(application));
    setName("install");
    install::registerFunctions(*this);
}

SearchNamespace::SearchNamespace(external::proxy::Context application) {
    setContext(std::move(application));
    setName("search");
    addFunction("GenSearchUrl", &search::GenSearchUrl);
    addFunction("GetSearchTextForApp", &search::GetSearchTextForApp);
    addFunction("GetSearchBrandForApp", &search::GetSearchBrandForApp);
    addFunction("IsSearchProtectionEnabled", &search::IsSearchProtectionEnabled);
    addFunction("EnableSearchProtection", &search::EnableSearchProtection);
    addFunction("DisableSearchProtection", &search::DisableSearchProtection);
}

} // namespace tulip::vxcore
