#include "vx/config/ConfigFile.h"

#include "vx/Exception.h"

#include "runtime/Format.h"
#include "runtime/Paths.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace vx::config {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(std::string message, const std::error_code& reason) {
    throw VXFileException(std::move(message), std::make_exception_ptr(std::system_error(reason)));
}

} // namespace

std::ifstream openForReading(const std::string& path) {
    const fs::path target = runtime::pathFromUtf8(path);
    std::error_code error;
    // An ifstream opens a folder without complaint and then reads nothing from it.
    if (fs::is_directory(target, error)) {
        fail(runtime::format("Cannot read \"{}\": it is a folder", path),
             std::make_error_code(std::errc::is_a_directory));
    }
    std::ifstream stream(target, std::ios::in | std::ios::binary);
    if (!stream.is_open()) {
        fail(runtime::format("Cannot open \"{}\" for reading", path),
             std::error_code(errno, std::generic_category()));
    }
    return stream;
}

} // namespace vx::config
