#include "runtime/xml/Document.h"
#include "runtime/xml/Printer.h"
#include "runtime/xml/Reader.h"

#include "runtime/Exception.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using runtime::xml::Document;
using runtime::xml::Element;
using runtime::xml::Node;
using runtime::xml::parse;
using runtime::xml::print;
using runtime::xml::printSpaceless;

using namespace std::string_literals;

// The structure of a subtree in a form the printer does not share: name{attributes}(children),
// texts in brackets, so that reader tests do not depend on printer rules.
std::string dump(const Element& element) {
    std::string out = element.name() + "{";
    for (const auto& attribute : element.attributes()) {
        out += attribute.name + "=" + attribute.value + ";";
    }
    out += "}(";
    for (const Node* child : element.children()) {
        out += child->isElement() ? dump(*child->asElement()) : "[" + child->asText()->text() + "]";
    }
    return out + ")";
}

std::string dump(const Document& document) {
    std::string out;
    for (const Element* element : document.elements()) {
        out += dump(*element);
    }
    return out;
}

Document invoke(const std::string& function) {
    Document document(1000);
    Element& call = document.addElement("invoke");
    call.setAttribute("name", function);
    call.setAttribute("returntype", "xml");
    return document;
}

TEST(XmlReader, KeepsNamesOrderAndTextsAsTheyStand) {
    struct Case {
        std::string text;
        std::string structure;
    };
    const Case cases[] = {
        {R"(<?xml version="1.0" encoding="UTF-8"?><invoke name="f" returntype="xml">)"
         R"(<arguments><string>a&amp;b</string><null/></arguments></invoke>)",
         "invoke{name=f;returntype=xml;}(arguments{}(string{}([a&amp;b])null{}()))"},
        // White space inside elements is text and is kept; between top-level ones it is not.
        {"\r\n<a>\r\n  <b/>\r\n</a>\r\n", "a{}([\r\n  ]b{}()[\r\n])"},
        {"<a  x = \"1\"\n y='say \"hi\"' />", "a{x=1;y=say \"hi\";}()"},
        {R"(<a v="&lt;&#65;">&copy;& &unterminated</a >)",
         "a{v=&lt;&#65;;}([&copy;& &unterminated])"},
        // A comment or processing instruction between two texts leaves one text.
        {"<!-- c --><a>x<!-- <b> -->y<?pi z?>w</a><!-- end -->", "a{}([xyw])"},
        {"\xEF\xBB\xBF<a/>", "a{}()"},
        {"<a>\xff\xfe\x80</a>", "a{}([\xff\xfe\x80])"},
        {"<a>x\0y</a>"s, "a{}([x\0y])"s},
        {"<a/> <b/>", "a{}()b{}()"},
        {"<ns:a-b.c_1 d.e-f='' />", "ns:a-b.c_1{d.e-f=;}()"},
        {"<a>x<b>y</b>z<c/></a>", "a{}([x]b{}([y])[z]c{}())"},
        {"<a>></a>", "a{}([>])"},
        {"<a></a>", "a{}()"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(dump(parse(c.text)), c.structure);
    }
}

TEST(XmlReader, MalformedInputFailsWithWhatAndWhere) {
    struct Case {
        std::string text;
        std::string what;
        std::size_t offset;
    };
    const Case cases[] = {
        {"", "no element", 0},
        {"  \r\n", "no element", 4},
        {"<!-- only a comment -->", "no element", 23},
        {"text", "text outside", 0},
        {"<a/>trailing", "text outside", 4},
        {" \xff", "text outside", 1},
        {"<a>", "element \"a\" is not closed", 0},
        {"<a><b>x</a>", "end tag \"a\" does not match start tag \"b\" at offset 3", 7},
        {"<a></ab>", "does not match", 3},
        {"</a>", "end tag \"a\" without a start tag", 0},
        {"<a></a></a>", "without a start tag", 7},
        {"<a></a", "input ends inside an end tag", 6},
        {"<a", "unterminated start tag \"a\"", 0},
        {"<a x", "input ends inside an attribute", 4},
        {"<a x=", "input ends inside an attribute", 5},
        {"<a x=\"1", "unterminated value of attribute \"x\"", 5},
        {"<a x='1\"/>", "unterminated value", 5},
        {"<a x=1/>", "attribute \"x\" has no quoted value", 5},
        {"<a x=\"1\"y=\"2\"/>", "expected white space", 8},
        {"<a x=\"1\" x=\"2\"/>", "duplicate attribute \"x\"", 9},
        {"<a x=\"<\"/>", "'<' in the value of attribute \"x\"", 6},
        {"<a/ >", "expected '>'", 3},
        {"<a><!-- never closed</a>", "unterminated comment", 3},
        {"<?xml version=\"1.0\"", "unterminated processing instruction", 0},
        {"<!DOCTYPE a><a/>", "DOCTYPE", 0},
        {"<a><![CDATA[x]]></a>", "CDATA", 3},
        {"<1a/>", "expected an element name", 1},
        {"< a/>", "expected an element name", 1},
        {"<a><", "expected an element name", 4},
        {"<a =\"1\"/>", "expected an attribute name", 3},
        {"<" + std::string(100, 'n'), "unterminated start tag \"" + std::string(40, 'n') + "...\"",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            parse(c.text);
            ADD_FAILURE() << "parsed";
        } catch (const runtime::Exception& error) {
            const std::string message = error.message();
            EXPECT_NE(message.find(c.what), std::string::npos) << message;
            EXPECT_NE(message.find("at offset " + std::to_string(c.offset)), std::string::npos)
                << message;
            EXPECT_LT(message.size(), 200u) << "a hostile name must not fill the message";
        }
    }
}

TEST(XmlReader, EveryCutOfADocumentFailsCleanly) {
    const std::string text = R"(<?xml version="1.0"?><!-- c --><invoke name="f" returntype='xml'>)"
                             R"(<arguments><string>a&amp;b</string><true/></arguments></invoke>)";
    ASSERT_NO_THROW(parse(text));
    for (std::size_t length = 0; length < text.size(); ++length) {
        SCOPED_TRACE(length);
        EXPECT_THROW(parse(std::string_view(text).substr(0, length)), runtime::Exception);
    }
}

// Damaged documents either parse or throw runtime::Exception; the sanitizers catch the rest.
TEST(XmlReader, DamagedDocumentsNeverCrash) {
    const std::string seed = R"(<?xml version="1.0"?><invoke name="f" returntype="xml"><arguments>)"
                             R"(<object><property id="a"><number>3</number></property></object>)"
                             R"(<string>x<!--c-->y</string></arguments></invoke>)";
    const char alphabet[] = "<>/=\"'!?- ax\r\n\xff";
    std::uint32_t state = 12345;
    auto next = [&state] { return state = state * 1664525u + 1013904223u; };
    for (int round = 0; round < 20000; ++round) {
        std::string text = seed;
        const int edits = 1 + static_cast<int>(next() % 4);
        for (int edit = 0; edit < edits; ++edit) {
            const std::size_t at = next() % text.size();
            const char c = alphabet[next() % (sizeof alphabet - 1)];
            switch (next() % 3) {
            case 0:
                text[at] = c;
                break;
            case 1:
                text.insert(at, 1, c);
                break;
            default:
                text.erase(at, 1 + next() % 8);
                break;
            }
            if (text.empty()) {
                text.push_back('<');
            }
        }
        try {
            const Document document = parse(text);
            printSpaceless(document);
        } catch (const runtime::Exception&) {
        }
    }
}

TEST(XmlReader, BoundsTheNestingDepth) {
    const auto nested = [](std::size_t depth) {
        std::string text;
        for (std::size_t i = 0; i < depth; ++i) {
            text += "<a>";
        }
        for (std::size_t i = 0; i < depth; ++i) {
            text += "</a>";
        }
        return text;
    };
    EXPECT_NO_THROW(parse(nested(runtime::xml::kDefaultMaxDepth)));
    EXPECT_NO_THROW(parse(nested(3), 3));
    EXPECT_THROW(parse(nested(4), 3), runtime::Exception);

    // 100,000 levels: refused where level 257 begins, not by running out of stack.
    try {
        parse(nested(100000));
        ADD_FAILURE() << "parsed";
    } catch (const runtime::Exception& error) {
        EXPECT_EQ(error.message(), "XML: elements nested deeper than 256 levels at offset 768");
    }
    std::string unclosed;
    for (int i = 0; i < 100000; ++i) {
        unclosed += "<a><b/>";
    }
    EXPECT_THROW(parse(unclosed), runtime::Exception);
}

TEST(XmlReader, TakesLargeTextsAndManySiblings) {
    const std::string big(8 * 1024 * 1024, 'x');
    const Document text = parse("<string>" + big + "</string>");
    ASSERT_EQ(text.elements().size(), 1u);
    ASSERT_EQ(text.elements()[0]->children().size(), 1u);
    EXPECT_EQ(text.elements()[0]->children()[0]->asText()->text(), big);

    std::string many = "<array>";
    for (int i = 0; i < 100000; ++i) {
        many += "<property id=\"" + std::to_string(i) + "\"><null/></property>";
    }
    many += "</array>";
    const Document array = parse(many);
    const auto& properties = array.elements()[0]->children();
    ASSERT_EQ(properties.size(), 100000u);
    EXPECT_EQ(*properties[99999]->asElement()->attribute("id"), "99999");
    EXPECT_EQ(printSpaceless(array), many);
}

TEST(XmlDocument, AttributesKeepTheirOrderAndReplaceInPlace) {
    Document document;
    Element& element = document.addElement("e");
    element.setAttribute("b", "1");
    element.setAttribute("a", "2");
    element.setAttribute("b", "3");
    ASSERT_EQ(element.attributes().size(), 2u);
    EXPECT_EQ(element.attributes()[0].name, "b");
    EXPECT_EQ(element.attributes()[0].value, "3");
    EXPECT_EQ(*element.attribute("a"), "2");
    EXPECT_EQ(element.attribute("c"), nullptr);

    element.addText("t");
    Element& second = element.addElement("x");
    element.addElement("y");
    element.addElement("x").addText("2");
    EXPECT_EQ(element.firstElement(), &second);
    EXPECT_EQ(element.firstElement("x"), &second);
    EXPECT_EQ(element.firstElement("z"), nullptr);
    EXPECT_EQ(document.firstElement("e"), &element);

    // Nodes belong to the document, not to where it is stored.
    Document moved = std::move(document);
    EXPECT_EQ(moved.firstElement(), &element);
    element.addElement("after-move");
    EXPECT_EQ(dump(moved), "e{b=3;a=2;}([t]x{}()y{}()x{}([2])after-move{}())");
}

TEST(XmlPrinter, WritesCallsAndValuesWithoutWhiteSpace) {
    Document complete = invoke("OnComplete");
    complete.firstElement()->addElement("arguments").addElement("string").addText("Installed");
    EXPECT_EQ(printSpaceless(complete), R"(<invoke name="OnComplete" returntype="xml">)"
                                        R"(<arguments><string>Installed</string></arguments>)"
                                        R"(</invoke>)");
    // The standard layout that the spaceless form is cut from.
    EXPECT_EQ(print(complete), "<invoke name=\"OnComplete\" returntype=\"xml\">\r\n"
                               "    <arguments>\r\n"
                               "        <string>Installed</string>\r\n"
                               "    </arguments>\r\n"
                               "</invoke>\r\n");

    EXPECT_EQ(printSpaceless(invoke("OnProgress")),
              R"(<invoke name="OnProgress" returntype="xml"/>)");

    struct Case {
        const char* element;
        std::vector<std::string> texts;
        std::string printed;
    };
    const Case values[] = {
        {"true", {}, "<true/>"},
        {"null", {}, "<null/>"},
        {"number", {"42.00"}, "<number>42.00</number>"},
        // An empty text is still a child: the long form, as for an empty string value.
        {"string", {""}, "<string></string>"},
        {"string", {"a&lt;b &amp; &quot;c&quot;"}, "<string>a&lt;b &amp; &quot;c&quot;</string>"},
        // Texts keep their white space, unless they hold a CR LF.
        {"string", {"  a b\t"}, "<string>  a b\t</string>"},
        {"string", {" a\nb "}, "<string> a\nb </string>"},
        {"string", {" \r\n a\r\nb \t\r\n"}, "<string>a\r\nb</string>"},
        {"string", {"\r\n"}, "<string></string>"},
        {"string", {"x\r\n", "\r\ny"}, "<string>xy</string>"},
    };
    for (const Case& c : values) {
        SCOPED_TRACE(c.printed);
        Document document(1000);
        Element& element = document.addElement(c.element);
        for (const std::string& text : c.texts) {
            element.addText(text);
        }
        EXPECT_EQ(printSpaceless(document), c.printed);
        EXPECT_EQ(printSpaceless(element), c.printed);
    }
}

TEST(XmlPrinter, WritesAttributesAsStored) {
    Document document;
    Element& element = document.addElement("property");
    element.setAttribute("id", "\r\n a&b ");
    element.setAttribute("z", "");
    // A value is never trimmed, and never glued to the attribute before it.
    EXPECT_EQ(printSpaceless(document), "<property id=\"\r\n a&b \" z=\"\"/>");
    EXPECT_EQ(print(document), "<property id=\"\r\n a&b \" z=\"\"/>\r\n");
}

TEST(XmlPrinter, LaysOutNestedElementsAndKeepsMixedContentOnOneLine) {
    Document document;
    Element& array = document.addElement("array");
    for (const char* id : {"5", "2"}) {
        Element& property = array.addElement("property");
        property.setAttribute("id", id);
        property.addElement("number").addText(id);
    }
    Element& mixed = array.addElement("p");
    mixed.addText("x ");
    mixed.addElement("b").addElement("c");
    document.addElement("second");
    EXPECT_EQ(print(document), "<array>\r\n"
                               "    <property id=\"5\">\r\n"
                               "        <number>5</number>\r\n"
                               "    </property>\r\n"
                               "    <property id=\"2\">\r\n"
                               "        <number>2</number>\r\n"
                               "    </property>\r\n"
                               "    <p>x <b><c/></b></p>\r\n"
                               "</array>\r\n"
                               "<second/>\r\n");
    EXPECT_EQ(print(*array.firstElement("property")->firstElement()), "<number>5</number>");
}

TEST(XmlPrinter, PrintsDocumentsOfAnyDepth) {
    Document document;
    Element* element = &document.addElement("a");
    std::string expected = "<a>";
    for (int i = 0; i < 100000; ++i) {
        element = &element->addElement("a");
        expected += "<a>";
    }
    expected.replace(expected.size() - 3, 3, "<a/>");
    for (int i = 0; i < 100000; ++i) {
        expected += "</a>";
    }
    EXPECT_EQ(printSpaceless(document), expected);
}

TEST(XmlRoundTrip, SpacelessTextsComeBackByteForByte) {
    const char* texts[] = {
        R"(<invoke name="OnComplete" returntype="xml"><arguments><string>Installed</string></arguments></invoke>)",
        R"(<invoke name="f" returntype="xml"/>)",
        R"(<object><property id="a"><number>3</number></property><property id="a"><array/></property></object>)",
        R"(<array><property id="5"><true/></property><property id="2"><undefined/></property></array>)",
        R"(<string>a&lt;b &amp; &quot;c&quot; &copy; &#65;</string>)",
        "<string> spaced \t</string>",
        "<string>line1\nline2</string>",
        "<a>x<b>y</b>z</a>",
        "<a>\xff\xfe</a>",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        EXPECT_EQ(printSpaceless(parse(text)), text);
    }
}

TEST(XmlRoundTrip, ReadLayoutIsDroppedWhenPrintedSpaceless) {
    struct Case {
        const char* text;
        const char* printed;
    };
    const Case cases[] = {
        {"<?xml version=\"1.0\"?>\r\n<a>\r\n  <b/>\r\n</a>\r\n", "<a><b/></a>"},
        {"<string></string>", "<string/>"},
        {"<a x='1' y = \"2\" ></a >", "<a x=\"1\" y=\"2\"/>"},
        {"<a>\r\n text \r\n</a>", "<a>text</a>"},
        {"<a>\n text \n</a>", "<a>\n text \n</a>"},
        {"<a><!-- c --></a>", "<a/>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(printSpaceless(parse(c.text)), c.printed);
    }
    // The standard layout reads back to the same structure.
    const Document document = parse("<a><b x=\"1\"><c/></b><d>t</d></a>");
    EXPECT_EQ(printSpaceless(parse(print(document))), printSpaceless(document));
}

} // namespace
