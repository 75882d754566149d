#include "runtime/TempFile.h"

#include "runtime/Format.h"
#include "runtime/win32/WinText.h"

#include <windows.h>

namespace runtime {

std::string createTempFile(std::string_view prefix) {
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) {
        throw Exception(
            format("Cannot find the temporary folder (system error {})", GetLastError()));
    }
    // With 0 as the unique number the system picks a free name and creates the file,
    // so no other process can take the name between choosing and creating it.
    wchar_t name[MAX_PATH] = {};
    if (GetTempFileNameW(folder, win32::widen(prefix).c_str(), 0, name) == 0) {
        throw Exception(format("Cannot create a temporary file in {} (system error {})",
                               win32::narrow(folder), GetLastError()));
    }
    return win32::narrow(name);
}

} // namespace runtime
