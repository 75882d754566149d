#include "vx/logger.h"

#include "runtime/DebugOutput.h"

#include <atomic>

namespace vx::logger {
namespace {

std::atomic<LineSink*> currentSink{nullptr};

} // namespace

std::string_view label(Level level) noexcept {
    switch (level) {
    case Level::Trace:
        return "TRACE";
    case Level::Info:
        return "INFO";
    case Level::Warn:
        return "WARN";
    case Level::Error:
        return "ERROR";
    }
    return "INFO";
}

LineSink* setSink(LineSink* sink) noexcept { return currentSink.exchange(sink); }

void write(Level level, std::string_view text) {
    const std::string line = runtime::format("{}: {}\n", label(level), text);
    if (LineSink* sink = currentSink.load()) {
        sink->write(line);
    } else {
        runtime::writeDebugOutput(line.c_str());
    }
}

void info(const char* message) {
    if (message == nullptr) {
        write(Level::Info, "<NULL>");
    } else {
        write(Level::Info, runtime::format(message));
    }
}

} // namespace vx::logger
