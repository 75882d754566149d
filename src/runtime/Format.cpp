#include "runtime/Format.h"

namespace runtime {

std::string vformat(std::string_view format, std::span<const FormatArg> args) {
    std::string out;
    out.reserve(format.size() + 16 * args.size());
    std::size_t next = 0;
    std::size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        if (c != '{') {
            out.push_back(c);
            ++i;
            continue;
        }
        // Read "{" digits* "}"; anything else is literal text.
        std::size_t j = i + 1;
        std::size_t index = 0;
        bool overflow = false;
        while (j < format.size() && format[j] >= '0' && format[j] <= '9') {
            if (index > 100000) {
                overflow = true;
            } else {
                index = index * 10 + static_cast<std::size_t>(format[j] - '0');
            }
            ++j;
        }
        if (j >= format.size() || format[j] != '}') {
            out.push_back(c);
            ++i;
            continue;
        }
        const bool numbered = j > i + 1;
        const std::size_t argument = numbered ? index : next;
        if (overflow || argument >= args.size()) {
            out.append(format.substr(i, j + 1 - i));
        } else {
            args[argument].append(out, args[argument].value);
            next = argument + 1;
        }
        i = j + 1;
    }
    return out;
}

} // namespace runtime
