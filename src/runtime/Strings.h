// Small text helpers shared across the program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace runtime {

// The pieces of `text` between `separator` characters, in order. Empty pieces are
// kept, so there is always one more piece than separators.
inline std::vector<std::string> split(std::string_view text, char separator) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            out.emplace_back(text.substr(start));
            return out;
        }
        out.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
}

} // namespace runtime
