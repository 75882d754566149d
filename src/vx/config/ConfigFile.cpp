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

void replaceFileContents(const std::string& path, std::string_view text) {
    const fs::path target = runtime::pathFromUtf8(path);
    fs::path fresh = target;
    fresh += ".new";
    std::error_code error;
    bool created = false; // never remove something at `fresh` that we did not make
    try {
        {
            std::ofstream out(fresh, std::ios::out | std::ios::binary | std::ios::trunc);
            if (!out.is_open()) {
                fail(runtime::format("Cannot create \"{}.new\"", path),
                     std::error_code(errno, std::generic_category()));
            }
            created = true;
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            out.flush();
            if (!out) {
                fail(runtime::format("Cannot write \"{}.new\"", path),
                     std::error_code(errno, std::generic_category()));
            }
            out.close();
            if (out.fail()) {
                fail(runtime::format("Cannot write \"{}.new\"", path),
                     std::error_code(errno, std::generic_category()));
            }
        }
        fs::rename(fresh, target, error);
        if (error) {
            fail(runtime::format("Cannot replace \"{}\"", path), error);
        }
    } catch (...) {
        if (created) {
            fs::remove(fresh, error);
        }
        throw;
    }
}

} // namespace vx::config
