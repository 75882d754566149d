#include "tulip/browser/Browser.h"

#include "runtime/Exception.h"
#include "runtime/win32/Handle.h"
#include "runtime/win32/WinText.h"

#include <windows.h>

#include <string>

namespace tulip::browser {
namespace {

using runtime::win32::UniqueKey;

// Opens `path` under `parent` for reading; an invalid owner when it does not exist.
UniqueKey openKey(HKEY parent, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return UniqueKey();
    }
    return UniqueKey(key);
}

// The string value `name` of `key`; throws when it is missing or not a string.
std::wstring readString(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD size = 0;
    LONG rc = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        throw runtime::Exception("Unable to read the registry value " +
                                 runtime::win32::narrow(name));
    }
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size);
    if (rc != ERROR_SUCCESS) {
        throw runtime::Exception("Unable to read the registry value " +
                                 runtime::win32::narrow(name));
    }
    // The stored data may or may not end in a terminator; cut at the first one.
    value.resize(size / sizeof(wchar_t));
    if (const auto end = value.find(L'\0'); end != std::wstring::npos) {
        value.resize(end);
    }
    return value;
}

} // namespace

vx::Variant IsFirefoxInstalled(const vx::Variant::List&, const external::proxy::Context&) {
    const UniqueKey firefox = openKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Mozilla\\Mozilla Firefox");
    if (!firefox) {
        return vx::Variant(false);
    }
    const std::wstring version = readString(firefox.get(), L"CurrentVersion");
    const UniqueKey main = openKey(firefox.get(), version + L"\\Main");
    if (!main) {
        return vx::Variant(false);
    }
    const std::wstring exe = readString(main.get(), L"PathToExe");
    return vx::Variant(GetFileAttributesW(exe.c_str()) != INVALID_FILE_ATTRIBUTES);
}

} // namespace tulip::browser
