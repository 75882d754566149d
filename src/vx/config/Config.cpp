#include "vx/config/Config.h"

#include "vx/Exception.h"
#include "vx/config/ConfigFile.h"
#include "vx/config/ConfigParser.h"

#include "runtime/Format.h"

#include <span>

namespace vx::config {

Config::Config(FilePath filePath) {
    setFilePath(std::move(filePath));
}

Config::Config(FilePath filePath, const std::shared_ptr<Config>& owner) {
    // No owner yet, so the path stays in this section: it is the fallback should the
    // owner go away before this section does.
    setFilePath(std::move(filePath));
    owner_ = owner;
}

Config::FilePath Config::getFilePath() const {
    if (auto owner = owner_.lock()) {
        return owner->getFilePath();
    }
    return filePath_;
}

void Config::setFilePath(FilePath path) {
    if (auto owner = owner_.lock()) {
        owner->setFilePath(std::move(path));
    } else {
        filePath_ = std::move(path);
    }
}

std::shared_ptr<Config> Config::createSection() {
    return std::make_shared<Config>(getFilePath(), weak_from_this().lock());
}

std::shared_ptr<ConfigBase> Config::get(const std::string& key) const {
    if (auto node = find(key)) {
        return node;
    }
    throw VXException(runtime::format("No entry named \"{}\"", key));
}

std::shared_ptr<ConfigBase> Config::find(const std::string& key) const {
    auto found = entries_.find(key);
    return found == entries_.end() ? nullptr : found->second;
}

void Config::save() const {
    const Config* root = this;
    std::shared_ptr<const Config> keepAlive;
    while (auto owner = root->owner_.lock()) {
        keepAlive = owner;
        root = owner.get();
    }
    const FilePath path = root->filePath_;
    if (!path) {
        throw VXException("You must first set a file path");
    }
    replaceFileContents(*path, ConfigParser::toText(*root));
}

int Config::forEach(const Visitor& visitor) const {
    for (const auto& key : keys_) {
        if (int result = visitor(key, entries_.at(key)); result != 0) {
            return result;
        }
    }
    return 0;
}

void Config::setBool(const std::string& key, bool value) {
    setEntry(key, std::make_shared<ConfigBool>(value));
}

void Config::setString(const std::string& key, std::string value) {
    setEntry(key, std::make_shared<ConfigText>(std::move(value)));
}

void Config::setInt(const std::string& key, std::int32_t value) {
    setEntry(key, std::make_shared<ConfigInt>(value));
}

void Config::setEntry(const std::string& key, std::shared_ptr<ConfigBase> node) {
    auto [slot, inserted] = entries_.try_emplace(key);
    if (inserted) {
        try {
            keys_.push_back(key);
        } catch (...) {
            entries_.erase(slot);
            throw;
        }
    }
    slot->second = std::move(node);
}

bool Config::equalsBool(bool) const {
    throw VXException("Invalid comparison!");
}
bool Config::equalsString(std::string_view) const {
    throw VXException("Invalid comparison!");
}
bool Config::equalsInt(std::int32_t) const {
    throw VXException("Invalid comparison!");
}
bool Config::equalsNode(const ConfigBase&) const {
    return false;
}

namespace {

void copyEntries(const Config& from, Config& to) {
    from.forEach([&](const std::string& key, const std::shared_ptr<ConfigBase>& node) {
        if (const auto* section = dynamic_cast<const Config*>(node.get())) {
            auto child = to.createSection();
            copyEntries(*section, *child);
            to.setEntry(key, std::move(child));
        } else {
            to.setEntry(key, node);
        }
        return 0;
    });
}

} // namespace

std::shared_ptr<Config> Config::clone() const {
    auto copy = std::make_shared<Config>(getFilePath());
    copyEntries(*this, *copy);
    return copy;
}

namespace {

void setValueAtParts(std::span<const std::string> parts, Config& section) {
    if (parts.size() < 2) {
        throw VXException("Sections must be more than two in length");
    }
    if (parts.size() == 2) {
        section.setString(parts[0], parts[1]);
        return;
    }
    std::shared_ptr<Config> child;
    if (auto node = section.find(parts[0])) {
        child = std::dynamic_pointer_cast<Config>(node);
        if (!child) {
            throw VXException("Invalid operation!");
        }
    } else {
        child = section.createSection();
    }
    setValueAtParts(parts.subspan(1), *child);
    section.setEntry(parts[0], std::move(child));
}

} // namespace

void setValueAt(const std::vector<std::string>& parts, Config& section) {
    setValueAtParts(parts, section);
}

std::string repeat(std::string_view text, std::size_t count) {
    std::string out;
    out.reserve(text.size() * count);
    for (std::size_t i = 0; i < count; ++i) {
        out.append(text);
    }
    return out;
}

} // namespace vx::config
