// The system's debugger output: OutputDebugStringA on Windows, standard error
// elsewhere. One call hands one zero-terminated line to the system.
#pragma once

namespace runtime {

void writeDebugOutput(const char* line) noexcept;

} // namespace runtime
