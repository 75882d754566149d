#include "runtime/xml/Printer.h"

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <vector>

namespace runtime::xml {

namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::size_t kIndentWidth = 4;
// Deeper levels are indented as this one, so that a deep document prints in linear time.
constexpr std::size_t kMaxIndentLevel = 32;

bool hasText(const Element& element) {
    for (const Node* child : element.children()) {
        if (!child->isElement()) {
            return true;
        }
    }
    return false;
}

class Printer {
public:
    explicit Printer(PieceSink& sink) : sink_(sink) {}

    // Prints `root` and its subtree with the root at indentation level 0.
    void element(const Element& root) {
        struct Frame {
            const Element* element;
            std::size_t next;   // index of the next child to print
            bool inlineContent; // no layout inside this element
        };
        std::vector<Frame> stack;
        if (!open(root)) {
            return;
        }
        stack.push_back(Frame{&root, 0, hasText(root)});
        while (!stack.empty()) {
            Frame& frame = stack.back();
            const auto& children = frame.element->children();
            if (frame.next == children.size()) {
                if (!frame.inlineContent) {
                    lineBreak(stack.size() - 1);
                }
                emit({"</", frame.element->name(), ">"});
                stack.pop_back();
                continue;
            }
            const Node& child = *children[frame.next++];
            if (const Text* text = child.asText()) {
                emit({text->text()});
                continue;
            }
            const bool inlineContent = frame.inlineContent;
            if (!inlineContent) {
                lineBreak(stack.size());
            }
            const Element& childElement = *child.asElement();
            if (open(childElement)) {
                // `frame` may dangle after this push.
                stack.push_back(Frame{&childElement, 0, inlineContent || hasText(childElement)});
            }
        }
    }

    void lineBreak(std::size_t level) {
        indent_.assign(std::min(level, kMaxIndentLevel) * kIndentWidth, ' ');
        emit({kLineBreak, indent_});
    }

private:
    // Writes the start tag; false when the element was complete in its short form.
    bool open(const Element& element) {
        emit({"<", element.name()});
        for (const Attribute& attribute : element.attributes()) {
            // The separating space is a piece apart, so trimming a value's piece can
            // never glue the attribute to what stands before it.
            emit({" "});
            emit({attribute.name, "=\"", attribute.value, "\""});
        }
        if (!element.hasChildren()) {
            emit({"/>"});
            return false;
        }
        emit({">"});
        return true;
    }

    void emit(std::initializer_list<std::string_view> parts) {
        sink_.piece(std::span<const std::string_view>(parts.begin(), parts.size()));
    }

    PieceSink& sink_;
    std::string indent_;
};

class TextSink : public PieceSink {
public:
    explicit TextSink(bool spaceless) : spaceless_(spaceless) {}

    void piece(std::span<const std::string_view> parts) override {
        if (!spaceless_) {
            for (std::string_view part : parts) {
                out_.append(part);
            }
            return;
        }
        joined_.clear();
        for (std::string_view part : parts) {
            joined_.append(part);
        }
        std::string_view piece = joined_;
        if (piece.find("\r\n") != std::string_view::npos) {
            constexpr std::string_view space = " \t\r\n";
            const std::size_t first = piece.find_first_not_of(space);
            if (first == std::string_view::npos) {
                return;
            }
            piece = piece.substr(first, piece.find_last_not_of(space) - first + 1);
        }
        out_.append(piece);
    }

    std::string take() { return std::move(out_); }

private:
    bool spaceless_;
    std::string joined_;
    std::string out_;
};

template <class Root> std::string printText(const Root& root, bool spaceless) {
    TextSink sink(spaceless);
    print(root, sink);
    return sink.take();
}

} // namespace

void print(const Document& document, PieceSink& sink) {
    Printer printer(sink);
    for (const Element* element : document.elements()) {
        printer.element(*element);
        printer.lineBreak(0);
    }
}

void print(const Element& element, PieceSink& sink) {
    Printer(sink).element(element);
}

std::string print(const Document& document) {
    return printText(document, false);
}
std::string print(const Element& element) {
    return printText(element, false);
}
std::string printSpaceless(const Document& document) {
    return printText(document, true);
}
std::string printSpaceless(const Element& element) {
    return printText(element, true);
}

} // namespace runtime::xml
