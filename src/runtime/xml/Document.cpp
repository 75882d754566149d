#include "runtime/xml/Document.h"

#include <algorithm>

namespace runtime::xml {

// Owns every node of one document. Elements keep a pointer to it to create their
// children; it sits behind a unique_ptr so that moving the document does not move it.
class NodePool {
    static constexpr std::size_t kUpFront = 64;

public:
    // At most kUpFront slots are taken at once; the rest come as the document grows.
    // A large first block would be a large-bin allocation, which makes glibc's malloc
    // consolidate its small free chunks on every document: for the small documents of
    // the movie's calls that cost more than all the growing it saves.
    explicit NodePool(std::size_t capacity) { nodes_.reserve(std::min(capacity, kUpFront)); }

    template <class T, class... Args> T& make(Args&&... args) {
        auto node = std::make_unique<T>(std::forward<Args>(args)...);
        T& result = *node;
        nodes_.push_back(std::move(node));
        return result;
    }

private:
    std::vector<std::unique_ptr<Node>> nodes_;
};

const Element* Node::asElement() const noexcept {
    return element_ ? static_cast<const Element*>(this) : nullptr;
}
Element* Node::asElement() noexcept {
    return element_ ? static_cast<Element*>(this) : nullptr;
}
const Text* Node::asText() const noexcept {
    return element_ ? nullptr : static_cast<const Text*>(this);
}
Text* Node::asText() noexcept {
    return element_ ? nullptr : static_cast<Text*>(this);
}

const std::string* Element::attribute(std::string_view name) const noexcept {
    for (const Attribute& attribute : attributes_) {
        if (attribute.name == name) {
            return &attribute.value;
        }
    }
    return nullptr;
}

void Element::setAttribute(std::string_view name, std::string_view value) {
    for (Attribute& attribute : attributes_) {
        if (attribute.name == name) {
            attribute.value.assign(value);
            return;
        }
    }
    attributes_.push_back(Attribute{std::string(name), std::string(value)});
}

namespace {

template <class ElementPtr, class Range>
ElementPtr findElement(const Range& nodes, std::string_view name) noexcept {
    for (auto* node : nodes) {
        if (auto* element = node->asElement();
            element && (name.empty() || element->name() == name)) {
            return element;
        }
    }
    return nullptr;
}

} // namespace

const Element* Element::firstElement(std::string_view name) const noexcept {
    return findElement<const Element*>(children_, name);
}
Element* Element::firstElement(std::string_view name) noexcept {
    return findElement<Element*>(children_, name);
}

Element& Element::addElement(std::string name) {
    Element& child = pool_->make<Element>(*pool_, std::move(name));
    children_.push_back(&child);
    return child;
}

Text& Element::addText(std::string text) {
    Text& child = pool_->make<Text>(std::move(text));
    children_.push_back(&child);
    return child;
}

Document::Document(std::size_t nodeCapacity) : pool_(std::make_unique<NodePool>(nodeCapacity)) {}
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;
Document::~Document() = default;

const Element* Document::firstElement(std::string_view name) const noexcept {
    return findElement<const Element*>(elements_, name);
}
Element* Document::firstElement(std::string_view name) noexcept {
    return findElement<Element*>(elements_, name);
}

Element& Document::addElement(std::string name) {
    Element& element = pool_->make<Element>(*pool_, std::move(name));
    elements_.push_back(&element);
    return element;
}

} // namespace runtime::xml
