// New files in the user's temporary folder, for data that outlives the call that makes
// it (downloaded programs that are then run). Nothing here deletes them.
//
// The folder is the system's: GetTempPathW on Windows, $TMPDIR or else /tmp elsewhere.
// Paths are UTF-8. Errors are runtime::Exception naming the folder or file (and the
// system's error code where the system gives one).
#pragma once

#include "runtime/Exception.h"
#include "runtime/Paths.h"

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>

namespace runtime {

// Creates a new, empty file with a unique name in the temporary folder and returns its
// path. The name begins with `prefix` (on Windows only its first three characters
// count). On POSIX its owner may read, write and run it (0700), as Windows allows for
// any file, since the callers download programs into it.
std::string createTempFile(std::string_view prefix);

// A new temporary file, open for writing from the start. The file stays on disk after
// it is closed or the object is destroyed. One thread uses it at a time.
class TempFile {
public:
    explicit TempFile(std::string_view prefix = "vx")
        : path_(createTempFile(prefix)),
          stream_(pathFromUtf8(path_), std::ios::binary | std::ios::trunc) {
        if (!stream_) {
            std::error_code ignored;
            std::filesystem::remove(pathFromUtf8(path_), ignored);
            throw Exception("Cannot open the temporary file " + path_);
        }
    }

    const std::string& path() const noexcept { return path_; }
    std::ostream& stream() noexcept { return stream_; }

    // Writes out what is buffered and closes the file. Throws when any write failed,
    // now or earlier; the file is closed either way. Further calls do nothing.
    void close() {
        if (!stream_.is_open()) {
            return;
        }
        stream_.close();
        if (!stream_) {
            throw Exception("Cannot write the temporary file " + path_);
        }
    }

private:
    std::string path_;
    std::ofstream stream_;
};

} // namespace runtime
