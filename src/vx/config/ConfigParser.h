// Reads configuration files into trees of Config sections, and writes trees back as text.
//
// The text form, line by line after trimming space, tab, CR, LF, FF and VT:
//   - empty, or starting with "#": ignored;
//   - starting with "[": a section header, "[name]" at level 1, "[[name]]" at level 2 and
//     so on (spaces may stand between the brackets); a level-L section belongs to the most
//     recent section of level L-1, the root for L = 1;
//   - anything else: "key = value", split at the first "=", both sides trimmed, stored as
//     text in the most recently opened section (the root before the first header).
// Every value read is text, whatever it looks like.
//
// Choices where the format leaves room, made for people who edit these files by hand:
//   - A line that is none of the above and holds no "=" is skipped, as a comment would be:
//     nothing in it can be misplaced, and one stray word should not cost the program all
//     of its settings.
//   - A header more than one level deeper than the section before it (a "[[[c]]]" right
//     after "[a]") fails with "Level mismatch!", like a header whose bracket counts differ:
//     there is no telling which section was meant, and guessing would silently move
//     settings somewhere the editor did not put them.
//   - The writer puts a section's values before its sub-sections (each group in entry
//     order), because a value written after a sub-section would read back inside it.
//
// Failures: "Level mismatch!" is a vx::VXException; file failures are VXFileException.
// No tree is returned after a failure. The parser has no state: one instance may serve
// any number of reads, from any thread.
#pragma once

#include "vx/config/Config.h"

#include <cstddef>
#include <istream>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace vx::config {

class ConfigParser {
public:
    virtual ~ConfigParser() = default;

    // Reads text held in memory. The tree has no file path.
    virtual std::shared_ptr<Config> parse(const std::string& text);

    // Reads the existing file at `path` (UTF-8); every section of the tree knows the path.
    // The file is closed before this returns or fails.
    virtual std::shared_ptr<Config> parseFile(const std::string& path);

    // Reads `stream` line by line; `path` is given to every section created.
    virtual std::shared_ptr<Config> parseStream(std::istream& stream, const Config::FilePath& path);

    // (level, name) of a trimmed header line; fails with "Level mismatch!" when the
    // counts of "[" and "]" differ. The name is never empty.
    virtual std::pair<std::size_t, std::string> parseSectionHeader(std::string_view line);

    // True for an empty trimmed line and for one that starts with "#".
    virtual bool isSkippedLine(std::string_view line);

    // The text that save() writes for the tree below `root`: "key = value\n" lines, and
    // for a sub-section its name in brackets of its depth, followed by its own entries.
    // Truth values as "true"/"false", integers in decimal, other node kinds as empty.
    static std::string toText(const Config& root);
};

} // namespace vx::config
