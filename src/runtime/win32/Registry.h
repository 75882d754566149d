// Reading registry values. Keys are owned by runtime::win32::UniqueKey (Handle.h).
#pragma once

#include "runtime/win32/Handle.h"

#include <windows.h>

#include <optional>
#include <string>

namespace runtime::win32 {

// Opens `path` under `parent` for reading; an invalid owner when it cannot be opened.
inline UniqueKey openKeyForReading(HKEY parent, const wchar_t* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return UniqueKey();
    }
    return UniqueKey(key);
}

// The string value `name` of `key` (null: the key's default value), REG_EXPAND_SZ
// taken as it is; none when the value is missing, not a string or cannot be read.
// The stored data may or may not end in a terminator; the text ends at the first one.
inline std::optional<std::wstring> readStringValue(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &got) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    value.resize(got / sizeof(wchar_t));
    if (const auto end = value.find(L'\0'); end != std::wstring::npos) {
        value.resize(end);
    }
    return value;
}

} // namespace runtime::win32
