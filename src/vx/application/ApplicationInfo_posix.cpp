// The host build has no registry: the flag cannot be read or written there.
#include "vx/application/ApplicationInfo.h"

#include "runtime/Exception.h"

namespace vx::application {

template <class Char> bool ApplicationInfo<Char>::isSearchProtectionEnabled() const {
    throw runtime::Exception("There is no registry on this system");
}

template <class Char> void ApplicationInfo<Char>::setSearchProtection(bool) {
    throw runtime::Exception("There is no registry on this system");
}

template class ApplicationInfo<char>;

} // namespace vx::application
