// Replacing a settings file on POSIX systems: mkstemp beside the real file, then rename.
#include "vx/config/ConfigFile.h"

#include "vx/Exception.h"

#include "runtime/Format.h"
#include "runtime/Paths.h"

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vx::config {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(std::string message, int error) {
    throw VXFileException(std::move(message), std::make_exception_ptr(std::system_error(
                                                  error, std::generic_category())));
}

// The file a chain of links leads to (`path` itself when it is no link). A link that
// leads nowhere yet gives the place where its file would be, so saving creates it there.
fs::path finalTarget(const std::string& path) {
    fs::path current = runtime::pathFromUtf8(path);
    for (int hops = 0; hops < 40; ++hops) { // the kernel's own limit on a chain of links
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(current, error))) {
            return current;
        }
        const fs::path next = fs::read_symlink(current, error);
        if (error) {
            fail(runtime::format("Cannot read the link \"{}\"", path), error.value());
        }
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    fail(runtime::format("Cannot follow the links of \"{}\"", path), ELOOP);
}

void writeAll(int fd, std::string_view text, const std::string& path) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(runtime::format("Cannot write the new text of \"{}\"", path), errno);
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

} // namespace

void replaceFileContents(const std::string& path, std::string_view text) {
    const fs::path target = finalTarget(path);
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    std::string pattern = runtime::utf8FromPath(folder / target.filename());
    pattern += ".XXXXXX";
    std::vector<char> fresh(pattern.begin(), pattern.end());
    fresh.push_back('\0');

    const int fd = ::mkstemp(fresh.data()); // a name nobody else has, made here and now
    if (fd < 0) {
        fail(runtime::format("Cannot create a new file beside \"{}\"", path), errno);
    }
    bool open = true;
    try {
        struct stat old {};
        if (::stat(target.c_str(), &old) == 0) {
            if (::fchmod(fd, old.st_mode & 07777) != 0) {
                fail(runtime::format("Cannot give the new text of \"{}\" its mode", path), errno);
            }
            // Keeps the owner where we may (as root, or when it is us); others cannot.
            if (::fchown(fd, old.st_uid, old.st_gid) != 0 && errno != EPERM) {
                fail(runtime::format("Cannot give the new text of \"{}\" its owner", path), errno);
            }
        } else {
            // A new file gets what open() would have given it, not mkstemp's 0600.
            const mode_t mask = ::umask(0);
            ::umask(mask);
            if (::fchmod(fd, 0666 & ~mask) != 0) {
                fail(runtime::format("Cannot give the new text of \"{}\" its mode", path), errno);
            }
        }
        writeAll(fd, text, path);
        if (::fsync(fd) != 0) {
            fail(runtime::format("Cannot write the new text of \"{}\"", path), errno);
        }
        open = false; // the descriptor is gone whatever close() answers
        if (::close(fd) != 0) {
            fail(runtime::format("Cannot write the new text of \"{}\"", path), errno);
        }
    } catch (...) {
        if (open) {
            ::close(fd);
        }
        ::unlink(fresh.data());
        throw;
    }
    if (::rename(fresh.data(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(fresh.data());
        fail(runtime::format("Cannot replace \"{}\"", path), error);
    }
}

} // namespace vx::config
