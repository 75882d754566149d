// The Windows half of the well-known places: shell folders and the registry.
#include "vx/vxpath.h"

#include "runtime/Exception.h"
#include "runtime/win32/Registry.h"
#include "runtime/win32/WinText.h"

#include <shlobj.h>
#include <windows.h>


namespace vx::vxpath {
namespace {

// The folder the shell names for `csidl`, normalised; empty when it cannot.
std::string specialFolder(int csidl) {
    wchar_t buffer[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, TRUE)) {
        return {};
    }
    return normalise(runtime::win32::narrow(buffer));
}

} // namespace

std::string GetCommonDataDirectory() { return join(specialFolder(CSIDL_COMMON_APPDATA), "vxi"); }

std::string GetAppDirectory(std::string_view name) { return join(GetCommonDataDirectory(), name); }

std::string GetSystemFolder() { return specialFolder(CSIDL_SYSTEM); }

std::string GetFlashTrustDirectory() {
    return join(join(join(GetSystemFolder(), "Macromed"), "Flash"), "FlashPlayerTrust");
}

std::string GetPythonExe() {
    HKEY raw = nullptr;
    const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                                      L"SOFTWARE\\Python\\PythonCore\\2.5\\InstallPath", 0,
                                      KEY_READ, &raw);
    if (opened != ERROR_SUCCESS) {
        throw runtime::Exception("Unable to open the Python 2.5 registry key (error " +
                                 std::to_string(opened) + ")");
    }
    runtime::win32::UniqueKey key(raw);
    // REG_EXPAND_SZ taken as it is; a value that cannot be read gives an empty folder.
    const std::string folder =
        runtime::win32::narrow(runtime::win32::readStringValue(key.get(), nullptr).value_or(L""));
    return join(normalise(folder), "pythonw.exe");
}

} // namespace vx::vxpath
