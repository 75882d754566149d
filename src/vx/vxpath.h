// The product's well-known places on the machine. Paths are UTF-8 texts in the
// product's normalised form: "/" separators, "." and ".." segments resolved.
#pragma once

#include <string>
#include <string_view>

namespace vx::vxpath {

// "\" becomes "/", "." segments go, ".." removes the segment before it (a leading
// ".." with nothing to remove stays, and a drive or root is never removed), and
// repeated separators collapse (a leading "//" of a network path is kept). An
// empty text stays empty.
std::string normalise(std::string_view path);

// `folder` + "/" + `name`; just `name` when `folder` is empty (as when the system
// could not name the folder).
std::string join(std::string_view folder, std::string_view name);

// `script` when that file exists; otherwise the same path with its extension
// replaced by "pyc" (or ".pyc" added when it has none).
std::string GetPythonFile(const std::string& script);

// The all-users application data folder + "vxi". The shell creates the data
// folder when missing; when it cannot name it, the result is the relative "vxi".
std::string GetCommonDataDirectory();
// GetCommonDataDirectory() + name.
std::string GetAppDirectory(std::string_view name);
// The system folder.
std::string GetSystemFolder();
// The system folder + "Macromed/Flash/FlashPlayerTrust".
std::string GetFlashTrustDirectory();
// The Python 2.5 installation folder (the default value of the HKLM key
// SOFTWARE/Python/PythonCore/2.5/InstallPath) + "pythonw.exe". Throws
// runtime::Exception when the key cannot be opened; a value that cannot be read,
// or is not a text, gives "pythonw.exe".
std::string GetPythonExe();

} // namespace vx::vxpath
