// The file operations of the configuration store, kept apart so that a Windows version
// (MoveFileExW with MOVEFILE_REPLACE_EXISTING, wide paths) can take this file's place.
// Paths are UTF-8. Failures are vx::VXFileException with the system's reason as cause.
#pragma once

#include <fstream>
#include <string>
#include <string_view>

namespace vx::config {

// Opens an existing file for reading, in binary mode. Fails for a missing file, one we
// may not read, and a folder.
std::ifstream openForReading(const std::string& path);

// Replaces the file at `path` with `text`: writes a new file beside it, flushes it and
// moves it over the old one in one step. On failure the old file is as it was and the
// new one is removed.
void replaceFileContents(const std::string& path, std::string_view text);

} // namespace vx::config
