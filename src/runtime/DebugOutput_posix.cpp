#include "runtime/DebugOutput.h"

#include <cstring>
#include <unistd.h>

namespace runtime {

void writeDebugOutput(const char* line) noexcept {
    std::size_t left = std::strlen(line);
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, line, left);
        if (n <= 0) {
            return;
        }
        line += n;
        left -= static_cast<std::size_t>(n);
    }
}

} // namespace runtime
