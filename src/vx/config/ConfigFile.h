// The file operations of the configuration store. Reading is portable; replacing a
// file has one source per system (ConfigFile_win32.cpp, ConfigFile_posix.cpp).
// Paths are UTF-8. Failures are vx::VXFileException with the system's reason as cause.
#pragma once

#include <fstream>
#include <string>
#include <string_view>

namespace vx::config {

// Opens an existing file for reading, in binary mode. Fails for a missing file, one we
// may not read, and a folder.
std::ifstream openForReading(const std::string& path);

// Replaces the file at `path` with `text` in one step, so that a reader sees the old
// text or the new, never a part:
//   - the text goes to a new file with a name of its own, created in the folder of the
//     file being replaced, so that nothing else that lives beside it (a "<file>.new"
//     of somebody else's, a folder of any name) is touched or in the way;
//   - when `path` is a symbolic link, the file it leads to is replaced and the link
//     stays a link;
//   - the replaced file's attributes stay: Windows ReplaceFileW keeps its attributes
//     and security, the POSIX version gives the new file the old one's mode (and its
//     owner, where we may);
//   - a missing file is created.
// On failure the old file is as it was and the new one is removed.
void replaceFileContents(const std::string& path, std::string_view text);

} // namespace vx::config
