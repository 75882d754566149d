// A dotted version text ("1.2.3") with three-way comparison, and the record of one
// installed application as it travels inside a script value.
//
// Parts are compared as texts, byte by byte, not as numbers: "1.10" is lower than
// "1.9" and "02" lower than "1". Only the parts beyond the shorter version are read
// as numbers, so trailing zero parts do not count ("1.0.0" equals "1.0") and a
// trailing part that is not a number counts as zero ("1.0.beta" equals "1.0").
// Stored versions and the product's own version checks rely on this order.
#pragma once

#include "vx/Variant.h"

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

// One installed application's record (keys "name", "version", "upgrade",
// "components"), held by a Variant so that it can be written back to the movie as an
// object. Immutable once made; shared by the Variants that hold it.
class ListAppsVariant {
public:
    explicit ListAppsVariant(Variant::Map record) : record_(std::move(record)) {}
    const Variant::Map& value() const noexcept { return record_; }

private:
    Variant::Map record_;
};

} // namespace vx
