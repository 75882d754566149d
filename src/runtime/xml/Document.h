// A small XML document model: elements with a name, attributes in document order and
// child nodes (elements and texts) in order.
//
// Texts and attribute values are kept exactly as they stood in the input (or as the
// caller set them): no entity is replaced here, so the format built on top decides what
// "&amp;" means. The document owns every node; elements and texts are handed out by
// reference and stay valid as long as the document (also across a move of it). Nodes are
// kept in one flat list, so destroying a document of any depth does not recurse.
// A document is not shared between threads without a lock of the caller's.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace runtime::xml {

class Element;
class Text;
class NodePool;

struct Attribute {
    std::string name;
    std::string value;
};

class Node {
public:
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    virtual ~Node() = default;

    bool isElement() const noexcept { return element_; }
    // nullptr when this node is a text (resp. an element).
    const Element* asElement() const noexcept;
    Element* asElement() noexcept;
    const Text* asText() const noexcept;
    Text* asText() noexcept;

protected:
    explicit Node(bool element) : element_(element) {}

private:
    bool element_;
};

class Text : public Node {
public:
    explicit Text(std::string text) : Node(false), text_(std::move(text)) {}

    const std::string& text() const noexcept { return text_; }
    std::string& text() noexcept { return text_; }

private:
    std::string text_;
};

class Element : public Node {
public:
    Element(NodePool& pool, std::string name) : Node(true), pool_(&pool), name_(std::move(name)) {}

    const std::string& name() const noexcept { return name_; }
    const std::vector<Attribute>& attributes() const noexcept { return attributes_; }
    // The value of the attribute `name`, or nullptr when there is none.
    const std::string* attribute(std::string_view name) const noexcept;
    // Replaces the value of an existing attribute in place, else appends a new one.
    void setAttribute(std::string_view name, std::string_view value);

    const std::vector<Node*>& children() const noexcept { return children_; }
    bool hasChildren() const noexcept { return !children_.empty(); }
    // The first child element, or the first one called `name` when a name is given;
    // nullptr when there is none.
    const Element* firstElement(std::string_view name = {}) const noexcept;
    Element* firstElement(std::string_view name = {}) noexcept;

    // Append a new last child and return it; it lives as long as the document.
    Element& addElement(std::string name);
    Text& addText(std::string text);

private:
    NodePool* pool_;
    std::string name_;
    std::vector<Attribute> attributes_;
    std::vector<Node*> children_;
};

class Document {
public:
    // `nodeCapacity` is the room the caller expects to need (a hint: a bounded part of
    // it is reserved up front); a document grows past it as needed.
    // A moved-from document may only be destroyed or assigned to.
    explicit Document(std::size_t nodeCapacity = 16);
    Document(Document&&) noexcept;
    Document& operator=(Document&&) noexcept;
    ~Document();

    // The elements at the top, in order (a well-formed document has exactly one).
    const std::vector<Element*>& elements() const noexcept { return elements_; }
    // The first top-level element, or the first one called `name`; nullptr when none.
    const Element* firstElement(std::string_view name = {}) const noexcept;
    Element* firstElement(std::string_view name = {}) noexcept;
    Element& addElement(std::string name);

private:
    std::unique_ptr<NodePool> pool_;
    std::vector<Element*> elements_;
};

} // namespace runtime::xml
