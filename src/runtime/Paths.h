// Conversions between our UTF-8 path texts and std::filesystem paths. A path built
// from a narrow std::string is read in the ANSI code page on Windows, so every
// conversion goes through char8_t.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace runtime {

inline std::filesystem::path pathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace runtime
