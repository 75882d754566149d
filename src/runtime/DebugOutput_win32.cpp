#include "runtime/DebugOutput.h"

#include <windows.h>

namespace runtime {

void writeDebugOutput(const char* line) noexcept { OutputDebugStringA(line); }

} // namespace runtime
