#include "tulip/browser/Browser.h"

namespace tulip::browser {

vx::Variant IsFirefoxInstalled(const vx::Variant::List&, const external::proxy::Context&) {
    return vx::Variant(false);
}

} // namespace tulip::browser
