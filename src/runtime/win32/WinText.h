// UTF-16 copies of UTF-8 texts for the wide Win32 calls, and back.
#pragma once

#include "runtime/Utf.h"

#include <string>
#include <string_view>

namespace runtime::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wchar_t is UTF-16");

inline std::wstring widen(std::string_view text) {
    const std::u16string wide = utf8ToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

inline std::string narrow(std::wstring_view text) {
    return utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

} // namespace runtime::win32
