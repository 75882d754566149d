// The host build has no COM: the search component can never be created there.
#include "tulip/vxcore/search.h"

#include "runtime/Exception.h"

namespace tulip::vxcore::search {

ComponentAnswer askSearchComponent(const std::string&, bool) {
    throw runtime::Exception("The search component cannot be created on this system");
}

} // namespace tulip::vxcore::search
