#include "tulip/browser/BrowserNamespace.h"

#include "tulip/browser/Browser.h"

namespace tulip::browser {

BrowserNamespace::BrowserNamespace(external::proxy::Context application) {
    setContext(std::move(application));
    setName("browser");
    addFunction("IsFirefoxInstalled", &IsFirefoxInstalled);
}

} // namespace tulip::browser
