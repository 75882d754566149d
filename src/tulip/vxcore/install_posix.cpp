// The installation engine runs the product's Windows installer programs, reads the
// registry and asks the Windows shell: this build has none of it, so "install" stays
// without functions here.
#include "tulip/vxcore/install.h"

namespace tulip::vxcore::install {

void registerFunctions(external::proxy::NamespaceResolver&) {}

} // namespace tulip::vxcore::install
