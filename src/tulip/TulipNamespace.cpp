#include "tulip/TulipNamespace.h"

#include "runtime/Exception.h"
#include "tulip/browser/BrowserNamespace.h"
#include "tulip/vxcore/VXCoreNamespace.h"
#include "tulip/window/WindowNamespace.h"

namespace tulip {

TulipNamespace::TulipNamespace(external::proxy::Context application) {
    setContext(application);
    setName("tulip");
    addNamespace("browser", std::make_shared<browser::BrowserNamespace>(application));
    addNamespace("vxcore", std::make_shared<vxcore::VXCoreNamespace>(application));
    addNamespace("window", std::make_shared<window::WindowNamespace>(application));
    addFunction("init", &init);
    addFunction("GetAppName", &GetAppName);
}

vx::Variant init(const vx::Variant::List&, const external::proxy::Context&) {
    return vx::Variant(std::int32_t{1});
}

vx::Variant GetAppName(const vx::Variant::List&, const external::proxy::Context& context) {
    if (!context) {
        throw runtime::Exception("No application object to name");
    }
    return vx::Variant(context->name());
}

} // namespace tulip
