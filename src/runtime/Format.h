// Text formatting with "{}" and "{0}" placeholders.
//
// "{}" stands for the argument after the one the previous placeholder used (the
// first argument at the start); "{N}" for argument N, counted from 0. Arguments are
// written in their plain text form: integers in decimal, truth values as
// "true"/"false", texts as they are. A placeholder that names no existing argument,
// and any other brace, is copied to the output unchanged, so a finished text with
// braces in it passes through intact when no arguments are given.
#pragma once

#include <array>
#include <charconv>
#include <concepts>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace runtime {

inline void appendText(std::string& out, std::string_view value) { out.append(value); }
inline void appendText(std::string& out, const std::string& value) { out.append(value); }
inline void appendText(std::string& out, const char* value) {
    if (value != nullptr) {
        out.append(value);
    }
}
inline void appendText(std::string& out, char value) { out.push_back(value); }
inline void appendText(std::string& out, bool value) { out.append(value ? "true" : "false"); }

template <std::integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char>)
void appendText(std::string& out, T value) {
    std::array<char, 24> buffer{};
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    out.append(buffer.data(), result.ptr);
}

template <std::floating_point T> void appendText(std::string& out, T value) {
    std::array<char, 64> buffer{};
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    out.append(buffer.data(), result.ptr);
}

// Anything with a toString() member is written through it.
template <class T>
    requires requires(const T& v) {
        { v.toString() } -> std::convertible_to<std::string>;
    }
void appendText(std::string& out, const T& value) {
    out.append(value.toString());
}

struct FormatArg {
    const void* value;
    void (*append)(std::string& out, const void* value);
};

template <class T> FormatArg makeFormatArg(const T& value) {
    using V = std::remove_cvref_t<T>;
    if constexpr (std::is_array_v<V>) {
        // String literals and char arrays arrive as arrays; write them as texts.
        return FormatArg{static_cast<const void*>(value), [](std::string& out, const void* p) {
                             appendText(out, static_cast<const char*>(p));
                         }};
    } else {
        return FormatArg{static_cast<const void*>(&value), [](std::string& out, const void* p) {
                             appendText(out, *static_cast<const V*>(p));
                         }};
    }
}

std::string vformat(std::string_view format, std::span<const FormatArg> args);

template <class... Args> std::string format(std::string_view format, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
        return vformat(format, {});
    } else {
        const std::array<FormatArg, sizeof...(Args)> list{makeFormatArg(args)...};
        return vformat(format, list);
    }
}

} // namespace runtime
