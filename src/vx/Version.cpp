#include "vx/Version.h"

#include "runtime/Strings.h"

#include <algorithm>

namespace vx {
namespace {

// Reads a trailing part as a decimal integer (optional sign, digits up to the
// first other character, none at all meaning 0) and tells whether it is non-zero.
// Only zero-ness matters, so long digit runs cannot overflow anything.
bool nonZero(std::string_view part) {
    std::size_t i = 0;
    if (i < part.size() && (part[i] == '+' || part[i] == '-')) {
        ++i;
    }
    for (; i < part.size() && part[i] >= '0' && part[i] <= '9'; ++i) {
        if (part[i] != '0') {
            return true;
        }
    }
    return false;
}

} // namespace

Version::Version(std::string text) : text_(std::move(text)), parts_(split(text_)) {}

std::vector<std::string> Version::split(std::string_view text) {
    return runtime::split(text, '.');
}

int Version::compare(std::string_view otherText) const {
    const std::vector<std::string> other = split(otherText);
    const std::size_t common = std::min(parts_.size(), other.size());
    for (std::size_t i = 0; i < common; ++i) {
        const std::string& a = parts_[i];
        const std::string& b = other[i];
        const std::size_t n = std::min(a.size(), b.size());
        for (std::size_t k = 0; k < n; ++k) {
            const int d = static_cast<unsigned char>(a[k]) - static_cast<unsigned char>(b[k]);
            if (d != 0) {
                return d;
            }
        }
        // A part that is a prefix of the other: the longer one is higher, by the
        // difference of their lengths ("100" against "1" gives 2).
        if (a.size() != b.size()) {
            return static_cast<int>(a.size()) - static_cast<int>(b.size());
        }
    }
    if (parts_.size() < other.size()) {
        return std::any_of(other.begin() + static_cast<long>(common), other.end(), nonZero) ? -1 : 0;
    }
    if (parts_.size() > other.size()) {
        return std::any_of(parts_.begin() + static_cast<long>(common), parts_.end(), nonZero) ? 1
                                                                                              : 0;
    }
    return 0;
}

} // namespace vx
