#include "vx/config/ConfigParser.h"

#include "vx/Exception.h"
#include "vx/config/ConfigFile.h"

#include <sstream>
#include <vector>

namespace vx::config {

namespace {

constexpr std::string_view kWhitespace = " \t\r\n\f\v";

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(kWhitespace);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kWhitespace);
    return text.substr(first, last - first + 1);
}

void writeEntries(std::string& out, const Config& section, std::size_t depth) {
    // Values first: the format cannot close a section, so a value after a sub-section
    // would read back inside that sub-section.
    section.forEach([&](const std::string& key, const std::shared_ptr<ConfigBase>& node) {
        if (dynamic_cast<const Config*>(node.get()) != nullptr) {
            return 0;
        }
        out.append(key).append(" = ");
        if (const auto* text = dynamic_cast<const ConfigText*>(node.get())) {
            out.append(text->value());
        } else if (const auto* flag = dynamic_cast<const ConfigBool*>(node.get())) {
            out.append(flag->value() ? "true" : "false");
        } else if (const auto* number = dynamic_cast<const ConfigInt*>(node.get())) {
            out.append(std::to_string(number->value()));
        }
        out.push_back('\n');
        return 0;
    });
    section.forEach([&](const std::string& key, const std::shared_ptr<ConfigBase>& node) {
        if (const auto* child = dynamic_cast<const Config*>(node.get())) {
            out.append(repeat("[", depth + 1)).append(key).append(repeat("]", depth + 1));
            out.push_back('\n');
            writeEntries(out, *child, depth + 1);
        }
        return 0;
    });
}

} // namespace

std::shared_ptr<Config> ConfigParser::parse(const std::string& text) {
    std::istringstream stream(text);
    return parseStream(stream, std::nullopt);
}

std::shared_ptr<Config> ConfigParser::parseFile(const std::string& path) {
    std::ifstream stream = openForReading(path);
    return parseStream(stream, path); // the stream closes on the way out, also on failure
}

std::shared_ptr<Config> ConfigParser::parseStream(std::istream& stream,
                                                  const Config::FilePath& path) {
    auto root = std::make_shared<Config>(path);
    std::vector<Config*> open{root.get()};
    std::size_t level = 0;
    std::string raw;
    while (std::getline(stream, raw)) {
        const std::string_view line = trim(raw);
        if (isSkippedLine(line)) {
            continue;
        }
        if (line.front() == '[') {
            auto [headerLevel, name] = parseSectionHeader(line);
            if (headerLevel == 0 || headerLevel > level + 1) {
                throw VXException("Level mismatch!");
            }
            auto section = std::make_shared<Config>(path, root);
            open.resize(headerLevel);
            Config* parent = open.back();
            open.push_back(section.get());
            parent->setEntry(name, std::move(section));
            level = headerLevel;
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            continue; // see the header: a stray line without "=" is skipped
        }
        open.back()->setString(std::string(trim(line.substr(0, equals))),
                               std::string(trim(line.substr(equals + 1))));
    }
    if (stream.bad()) {
        throw VXFileException("Cannot read the configuration file" +
                              (path ? " \"" + *path + "\"" : std::string()));
    }
    return root;
}

std::pair<std::size_t, std::string> ConfigParser::parseSectionHeader(std::string_view line) {
    const std::size_t n = line.size();
    std::size_t i = 0;
    std::size_t opening = 0;
    for (; i < n; ++i) {
        if (line[i] == '[') {
            ++opening;
        } else if (line[i] != ' ') {
            break;
        }
    }
    std::size_t closing = 0;
    std::size_t j = n; // one past the last character of the name
    for (; j > i + 1; --j) {
        const char c = line[j - 1];
        if (c == ']') {
            ++closing;
        } else if (c != ' ') {
            break;
        }
    }
    if (closing != opening || i >= n) {
        throw VXException("Level mismatch!");
    }
    return {opening, std::string(line.substr(i, j - i))};
}

bool ConfigParser::isSkippedLine(std::string_view line) {
    return line.empty() || line.front() == '#';
}

std::string ConfigParser::toText(const Config& root) {
    std::string out;
    writeEntries(out, root, 0);
    return out;
}

} // namespace vx::config
