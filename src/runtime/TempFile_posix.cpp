#include "runtime/TempFile.h"

#include "runtime/Format.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace runtime {

std::string createTempFile(std::string_view prefix) {
    const char* folder = std::getenv("TMPDIR");
    std::string pattern = folder != nullptr && *folder != '\0' ? folder : "/tmp";
    if (pattern.back() != '/') {
        pattern.push_back('/');
    }
    pattern.append(prefix);
    pattern.append("XXXXXX");
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        const int error = errno;
        throw Exception(format("Cannot create a temporary file {} (system error {}: {})", pattern,
                               error, std::strerror(error)));
    }
    const int changed = ::fchmod(fd, S_IRWXU);
    const int error = errno;
    ::close(fd);
    if (changed != 0) {
        ::unlink(name.data());
        throw Exception(format("Cannot make the temporary file {} runnable (system error {}: {})",
                               name.data(), error, std::strerror(error)));
    }
    return name.data();
}

} // namespace runtime
