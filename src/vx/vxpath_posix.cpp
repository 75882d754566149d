// The POSIX half of the well-known places, for the host build, which runs the portable
// core in tests. The system has no all-users application data folder of the Windows
// kind: $BRIVOLA_COMMON_APPDATA stands for it (a test's scratch folder), else the
// current folder. The other places (system folder, Python) exist only on Windows.
#include "vx/vxpath.h"

#include <cstdlib>

namespace vx::vxpath {

std::string GetCommonDataDirectory() {
    const char* folder = std::getenv("BRIVOLA_COMMON_APPDATA");
    return join(normalise(folder != nullptr && *folder != '\0' ? folder : "."), "vxi");
}

std::string GetAppDirectory(std::string_view name) {
    return join(GetCommonDataDirectory(), name);
}

} // namespace vx::vxpath
