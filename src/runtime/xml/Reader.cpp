#include "runtime/xml/Reader.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"

#include <vector>

namespace runtime::xml {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Bytes from 0x80 up are allowed so that non-ASCII names pass; they are not decoded.
bool isNameStart(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u >= 0x80;
}

bool isNameChar(char c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// Names in messages are cut so that a hostile megabyte name does not become the log.
std::string quoted(std::string_view name) {
    constexpr std::size_t limit = 40;
    if (name.size() > limit) {
        return format("\"{}...\"", name.substr(0, limit));
    }
    return format("\"{}\"", name);
}

class Reader {
public:
    Reader(std::string_view text, std::size_t maxDepth, std::size_t nodeCapacity)
        : text_(text), maxDepth_(maxDepth), document_(nodeCapacity) {}

    Document run() {
        if (text_.substr(0, 3) == "\xEF\xBB\xBF") {
            pos_ = 3;
        }
        while (pos_ < text_.size()) {
            if (text_[pos_] == '<') {
                markup();
            } else {
                text();
            }
        }
        if (!open_.empty()) {
            fail(format("element {} is not closed", quoted(open_.back()->name())),
                 openedAt_.back());
        }
        if (document_.elements().empty()) {
            fail("no element in the document", pos_);
        }
        return std::move(document_);
    }

private:
    [[noreturn]] void fail(std::string_view what, std::size_t offset) const {
        throw Exception(format("XML: {} at offset {}", what, offset));
    }

    bool startsWith(std::string_view prefix) const {
        return text_.substr(pos_, prefix.size()) == prefix;
    }

    // Moves past `terminator`, which must occur before the end of the input; a failure
    // points at `start`, where the construct began.
    void skipPast(std::string_view terminator, std::string_view what, std::size_t start) {
        const std::size_t end = text_.find(terminator, pos_);
        if (end == std::string_view::npos) {
            fail(format("unterminated {}", what), start);
        }
        pos_ = end + terminator.size();
    }

    void skipSpace() {
        while (pos_ < text_.size() && isSpace(text_[pos_])) {
            ++pos_;
        }
    }

    std::string_view name(std::string_view what) {
        const std::size_t start = pos_;
        if (pos_ >= text_.size() || !isNameStart(text_[pos_])) {
            fail(format("expected {}", what), pos_);
        }
        while (pos_ < text_.size() && isNameChar(text_[pos_])) {
            ++pos_;
        }
        return text_.substr(start, pos_ - start);
    }

    void expect(char c, std::string_view what) {
        if (pos_ >= text_.size()) {
            fail(format("input ends inside {}", what), pos_);
        }
        if (text_[pos_] != c) {
            fail(format("expected '{}' in {}", c, what), pos_);
        }
        ++pos_;
    }

    void text() {
        const std::size_t start = pos_;
        std::size_t end = text_.find('<', pos_);
        if (end == std::string_view::npos) {
            end = text_.size();
        }
        pos_ = end;
        const std::string_view run = text_.substr(start, end - start);
        if (open_.empty()) {
            for (std::size_t i = 0; i < run.size(); ++i) {
                if (!isSpace(run[i])) {
                    fail("text outside the top-level element", start + i);
                }
            }
            return;
        }
        Element& parent = *open_.back();
        // Two texts meet only where a comment stood between them; the comment is gone,
        // so they are one text.
        if (parent.hasChildren() && !parent.children().back()->isElement()) {
            parent.children().back()->asText()->text().append(run);
        } else {
            parent.addText(std::string(run));
        }
    }

    void markup() {
        const std::size_t start = pos_;
        if (startsWith("<!--")) {
            pos_ += 4;
            skipPast("-->", "comment", start);
        } else if (startsWith("<?")) {
            pos_ += 2;
            skipPast("?>", "processing instruction", start);
        } else if (startsWith("<![CDATA[")) {
            fail("CDATA sections are not supported", pos_);
        } else if (startsWith("<!")) {
            fail("DOCTYPE and other declarations are not supported", pos_);
        } else if (startsWith("</")) {
            endTag();
        } else {
            startTag();
        }
    }

    void startTag() {
        const std::size_t start = pos_;
        ++pos_;
        const std::string_view tagName = name("an element name after '<'");
        if (open_.size() >= maxDepth_) {
            fail(format("elements nested deeper than {} levels", maxDepth_), start);
        }
        Element& element = open_.empty() ? document_.addElement(std::string(tagName))
                                         : open_.back()->addElement(std::string(tagName));
        for (;;) {
            const std::size_t beforeSpace = pos_;
            skipSpace();
            if (pos_ >= text_.size()) {
                fail(format("unterminated start tag {}", quoted(tagName)), start);
            }
            const char c = text_[pos_];
            if (c == '>') {
                ++pos_;
                open_.push_back(&element);
                openedAt_.push_back(start);
                return;
            }
            if (c == '/') {
                ++pos_;
                expect('>', "an empty-element tag");
                return;
            }
            if (pos_ == beforeSpace) {
                fail(format("expected white space, '>' or '/>' in start tag {}", quoted(tagName)),
                     pos_);
            }
            attribute(element);
        }
    }

    void attribute(Element& element) {
        const std::size_t start = pos_;
        const std::string_view attributeName = name("an attribute name");
        skipSpace();
        expect('=', "an attribute");
        skipSpace();
        if (pos_ >= text_.size()) {
            fail("input ends inside an attribute", pos_);
        }
        const char quote = text_[pos_];
        if (quote != '"' && quote != '\'') {
            fail(format("attribute {} has no quoted value", quoted(attributeName)), pos_);
        }
        const std::size_t valueStart = ++pos_;
        const std::size_t valueEnd = text_.find_first_of(quote == '"' ? "\"<" : "'<", pos_);
        if (valueEnd == std::string_view::npos) {
            fail(format("unterminated value of attribute {}", quoted(attributeName)),
                 valueStart - 1);
        }
        if (text_[valueEnd] == '<') {
            fail(format("'<' in the value of attribute {}", quoted(attributeName)), valueEnd);
        }
        if (element.attribute(attributeName) != nullptr) {
            fail(format("duplicate attribute {}", quoted(attributeName)), start);
        }
        element.setAttribute(attributeName, text_.substr(valueStart, valueEnd - valueStart));
        pos_ = valueEnd + 1;
    }

    void endTag() {
        const std::size_t start = pos_;
        pos_ += 2;
        const std::string_view tagName = name("an element name after '</'");
        skipSpace();
        expect('>', "an end tag");
        if (open_.empty()) {
            fail(format("end tag {} without a start tag", quoted(tagName)), start);
        }
        if (open_.back()->name() != tagName) {
            fail(format("end tag {} does not match start tag {} at offset {}", quoted(tagName),
                        quoted(open_.back()->name()), openedAt_.back()),
                 start);
        }
        open_.pop_back();
        openedAt_.pop_back();
    }

    std::string_view text_;
    std::size_t maxDepth_;
    std::size_t pos_ = 0;
    Document document_;
    // The elements whose end tag is still to come, innermost last, and where each began.
    std::vector<Element*> open_;
    std::vector<std::size_t> openedAt_;
};

} // namespace

Document parse(std::string_view text, std::size_t maxDepth, std::size_t nodeCapacity) {
    return Reader(text, maxDepth, nodeCapacity).run();
}

} // namespace runtime::xml
