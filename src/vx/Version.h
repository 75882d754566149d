// A dotted version text ("1.2.3") with three-way comparison.
//
// Parts are compared as texts, byte by byte, not as numbers: "1.10" is lower than
// "1.9" and "02" lower than "1". Only the parts beyond the shorter version are read
// as numbers, so trailing zero parts do not count ("1.0.0" equals "1.0") and a
// trailing part that is not a number counts as zero ("1.0.beta" equals "1.0").
// Stored versions and the product's own version checks rely on this order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vx {

class Version {
public:
    explicit Version(std::string text);

    const std::vector<std::string>& parts() const noexcept { return parts_; }
    const std::string& text() const noexcept { return text_; }

    // Negative, zero or positive as this version is lower than, equal to or higher
    // than `other`.
    int compare(std::string_view other) const;
    int compare(const Version& other) const { return compare(other.text()); }
    bool equals(std::string_view other) const { return compare(other) == 0; }
    bool equals(const Version& other) const { return equals(other.text()); }

    // The pieces between "." characters, in order; empty pieces are kept.
    static std::vector<std::string> split(std::string_view text);

private:
    std::string text_;
    std::vector<std::string> parts_;
};

} // namespace vx
