#include "runtime/DebugOutput.h"

#include <windows.h>

#include <initializer_list>

namespace runtime {

namespace {

// A debugger output monitor creates this event (in the session's namespace, or the
// global one when it watches services too) and keeps it while it runs.
bool monitorRunning() noexcept {
    for (const wchar_t* name : {L"DBWIN_BUFFER_READY", L"Global\\DBWIN_BUFFER_READY"}) {
        HANDLE ready = OpenEventW(SYNCHRONIZE, FALSE, name);
        if (ready != nullptr) {
            CloseHandle(ready);
            return true;
        }
    }
    return false;
}

} // namespace

// OutputDebugStringA raises an exception for a debugger and then, debugger or not,
// opens the monitor's mutex, buffer and events by name, for every line. With neither
// a debugger nor a monitor the line goes nowhere, so that work is skipped: a movie
// call logs three lines, and this was most of its cost. Both are asked per line, so
// a debugger or monitor that starts later sees the lines from then on.
void writeDebugOutput(const char* line) noexcept {
    if (IsDebuggerPresent() || monitorRunning()) {
        OutputDebugStringA(line);
    }
}

} // namespace runtime
