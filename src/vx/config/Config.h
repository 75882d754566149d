// A section of a configuration tree: keys mapped to nodes (sections or typed values),
// kept in the order in which each key was first stored. That order is the only order
// the tree has; forEach and the file writer follow it.
//
// Ownership: a section owns its nodes (shared, because callers keep the nodes that
// get() hands out). A section created by the reader or by createSection() points back
// at its owner without owning it; the file path lives on the root of that owner chain.
// Should the owner be gone, the section answers with the path it was created with.
// Sections are always held by std::shared_ptr (std::make_shared) so that
// createSection() can link the new section to this one.
//
// Threads: no locks. Any number of threads may read a tree at once; a thread that
// changes or saves a tree must be the only one using it at that time.
//
// Failures are vx::VXException; a failed call leaves the tree as it was.
#pragma once

#include "vx/config/ConfigBase.h"
#include "vx/config/ConfigScalar.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx::config {

class Config : public ConfigBase, public std::enable_shared_from_this<Config> {
public:
    using FilePath = std::optional<std::string>; // UTF-8; none until a path is set
    using Visitor = std::function<int(const std::string& key, const std::shared_ptr<ConfigBase>&)>;

    Config() = default;
    explicit Config(FilePath filePath);
    Config(FilePath filePath, const std::shared_ptr<Config>& owner);

    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;

    // The root's file path, asked through the owner chain.
    FilePath getFilePath() const;

    // Sets the file path on the root of the owner chain.
    void setFilePath(FilePath path);

    // A new, empty section owned by this one and answering with this tree's path. It is
    // not stored anywhere: the caller stores it with setEntry.
    std::shared_ptr<Config> createSection();

    // The node stored under `key`; fails with a VXException naming the key when there is
    // none (use find() where a missing key is not an error).
    std::shared_ptr<ConfigBase> get(const std::string& key) const override;

    // The node stored under `key`, or null.
    std::shared_ptr<ConfigBase> find(const std::string& key) const;

    // Writes the whole tree, from the root of the owner chain, to the root's file.
    // Fails with "You must first set a file path" when there is none. The text goes to a
    // new file beside the target which then replaces it in one step: after a failure the
    // old file is unchanged and the file layer's error (VXFileException) reaches the caller.
    void save() const;

    // Calls `visitor` with (key, node) in entry order. A non-zero result stops the walk and
    // is returned; otherwise 0. The visitor must not add keys to this section.
    int forEach(const Visitor& visitor) const;

    void setBool(const std::string& key, bool value);
    void setString(const std::string& key, std::string value);
    void setInt(const std::string& key, std::int32_t value);

    // Stores `node` under `key`. A new key goes to the end of the entry order; a replaced
    // node keeps the place of the first one stored under that key. Entries are never removed.
    void setEntry(const std::string& key, std::shared_ptr<ConfigBase> node);

    // A section is never equal to a typed value: the three typed comparisons fail with
    // "Invalid comparison!" and equalsNode is always false.
    bool equalsBool(bool value) const override;
    bool equalsString(std::string_view value) const override;
    bool equalsInt(std::int32_t value) const override;
    bool equalsNode(const ConfigBase& node) const override;

    // A new tree with the same keys, order and values, every section copied and every
    // typed value shared (values never change). The copy is a root of its own that
    // answers with this section's file path; changing it leaves this tree as it was.
    std::shared_ptr<Config> clone() const;

    // The keys in entry order.
    const std::vector<std::string>& keys() const noexcept { return keys_; }

private:
    std::vector<std::string> keys_;
    std::weak_ptr<Config> owner_;
    std::map<std::string, std::shared_ptr<ConfigBase>> entries_;
    FilePath filePath_;
};

// Stores a text value at a path of section names: `parts` is zero or more section names,
// then the key, then the value. Missing sections are created (createSection) and stored.
// Fails with "Sections must be more than two in length" for fewer than two parts, and
// with "Invalid operation!" when a name on the way holds a value rather than a section
// (the value is kept: we do not silently throw a setting away to make room).
void setValueAt(const std::vector<std::string>& parts, Config& section);

// `text` repeated `count` times; empty for 0.
std::string repeat(std::string_view text, std::size_t count);

} // namespace vx::config
