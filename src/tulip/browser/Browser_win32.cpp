#include "tulip/browser/Browser.h"

#include "runtime/Exception.h"
#include "runtime/win32/Registry.h"
#include "runtime/win32/WinText.h"

#include <windows.h>

#include <optional>
#include <string>
#include <utility>

namespace tulip::browser {
using runtime::win32::UniqueKey;

namespace {

// The string value `name` of `key`; throws when it is missing or not a string.
std::wstring readString(HKEY key, const wchar_t* name) {
    std::optional<std::wstring> value = runtime::win32::readStringValue(key, name);
    if (!value) {
        throw runtime::Exception("Unable to read the registry value " +
                                 runtime::win32::narrow(name));
    }
    return *std::move(value);
}

} // namespace

vx::Variant IsFirefoxInstalled(const vx::Variant::List&, const external::proxy::Context&) {
    const UniqueKey firefox =
        runtime::win32::openKeyForReading(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Mozilla\\Mozilla Firefox");
    if (!firefox) {
        return vx::Variant(false);
    }
    const std::wstring version = readString(firefox.get(), L"CurrentVersion");
    const UniqueKey main =
        runtime::win32::openKeyForReading(firefox.get(), (version + L"\\Main").c_str());
    if (!main) {
        return vx::Variant(false);
    }
    const std::wstring exe = readString(main.get(), L"PathToExe");
    return vx::Variant(GetFileAttributesW(exe.c_str()) != INVALID_FILE_ATTRIBUTES);
}

} // namespace tulip::browser
