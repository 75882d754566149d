// The .NET Framework 2.0 redistributable package: asked the silent way ("/q:a" and
// "/c:install /l /q"), it registers the framework as its setup does; asked any other
// way it installs nothing and ends with an error code.
#include "Record.h"

#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    standin::record();
    if (argc != 3 || std::wstring(argv[1]) != L"/q:a" ||
        std::wstring(argv[2]) != L"/c:install /l /q") {
        return 1;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                        L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return 2;
    }
    const DWORD one = 1;
    const LONG set = RegSetValueExW(key, L"Install", 0, REG_DWORD,
                                    reinterpret_cast<const BYTE*>(&one), sizeof one);
    RegCloseKey(key);
    return set == ERROR_SUCCESS ? 0 : 3;
}
