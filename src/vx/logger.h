// The program's diagnostic output: one line per call, "LABEL: text\n", handed to the
// system debugger output in a single call. No file, no time stamp, no filtering.
// Safe from any thread: each line is built in fresh memory and written in one call.
#pragma once

#include "runtime/Format.h"

#include <string>
#include <string_view>

namespace vx::logger {

enum class Level { Trace, Info, Warn, Error };

// "TRACE", "INFO", "WARN", "ERROR". The program itself only writes INFO lines.
std::string_view label(Level level) noexcept;

// Where finished lines go. Tests install a sink to capture lines; without one
// (the default) they go to the debugger output.
class LineSink {
public:
    virtual ~LineSink() = default;
    // `line` includes the trailing "\n". Called from any thread.
    virtual void write(std::string_view line) = 0;
};

// Installs `sink` (null restores the debugger output) and returns the previous one.
// The caller keeps `sink` alive until it is replaced.
LineSink* setSink(LineSink* sink) noexcept;

// Writes the line "label: text\n".
void write(Level level, std::string_view text);

// A null message is written as "<NULL>".
void info(const char* message);

// Formats `message` with `args` ("{}" / "{0}" placeholders) and writes an INFO line.
template <class... Args> void info(std::string_view message, const Args&... args) {
    if (message.data() == nullptr) {
        write(Level::Info, "<NULL>");
    } else {
        write(Level::Info, runtime::format(message, args...));
    }
}

} // namespace vx::logger
