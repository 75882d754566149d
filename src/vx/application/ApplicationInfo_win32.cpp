#include "vx/application/ApplicationInfo.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"
#include "runtime/win32/Handle.h"

#include <windows.h>

namespace vx::application {

namespace {

constexpr const wchar_t* kKey = L"Software\\VXI";
constexpr const wchar_t* kValue = L"DefaultSearch";

} // namespace

template <class Char> bool ApplicationInfo<Char>::isSearchProtectionEnabled() const {
    HKEY raw = nullptr;
    const LONG opened = RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &raw);
    if (opened == ERROR_FILE_NOT_FOUND || opened == ERROR_PATH_NOT_FOUND) {
        return false;
    }
    if (opened != ERROR_SUCCESS) {
        throw runtime::Exception(
            runtime::format("Cannot open HKCU\\Software\\VXI (error {})", opened));
    }
    runtime::win32::UniqueKey key(raw);
    DWORD value = 0;
    DWORD size = sizeof value;
    // The data taken as it lies: only 4 bytes of it are a number.
    if (RegQueryValueExW(key.get(), kValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS ||
        size != sizeof value) {
        value = 0;
    }
    return value == 1;
}

template <class Char> void ApplicationInfo<Char>::setSearchProtection(bool enabled) {
    HKEY raw = nullptr;
    const LONG created =
        RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, &raw, nullptr);
    if (created != ERROR_SUCCESS) {
        throw runtime::Exception(
            runtime::format("Cannot open or create HKCU\\Software\\VXI (error {})", created));
    }
    runtime::win32::UniqueKey key(raw);
    const DWORD value = enabled ? 1 : 0;
    const LONG written = RegSetValueExW(key.get(), kValue, 0, REG_DWORD,
                                        reinterpret_cast<const BYTE*>(&value), sizeof value);
    if (written != ERROR_SUCCESS) {
        throw runtime::Exception(
            runtime::format("Cannot write HKCU\\Software\\VXI DefaultSearch (error {})", written));
    }
}

template class ApplicationInfo<char>;

} // namespace vx::application
