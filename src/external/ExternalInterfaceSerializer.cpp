#include "external/ExternalInterfaceSerializer.h"

#include "external/DocEntity.h"
#include "external/SpacelessDocPrinter.h"
#include "runtime/Exception.h"
#include "runtime/xml/Reader.h"
#include "vx/Version.h"
#include "vx/config/Config.h"
#include "vx/config/ConfigScalar.h"
#include "vx/logger.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace external {
namespace {

using runtime::xml::Element;

// Where a value goes: under an element, or at the top of a document.
template <class Parent> void writeValue(const vx::Variant& value, Parent& parent);

template <class Parent> Element& add(Parent& parent, const char* name) {
    return parent.addElement(name);
}

template <class Parent> void writeString(const std::string& text, Parent& parent) {
    Element& element = add(parent, "string");
    element.addText(encodeEntities(text));
}

template <class Parent> void writeNumberText(std::string text, Parent& parent) {
    Element& element = add(parent, "number");
    element.addText(std::move(text));
}

void writeRecord(const vx::ListAppsVariant& record, Element& object);

template <class Parent> void writeConfig(const vx::config::ConfigBase* node, Parent& parent) {
    if (node == nullptr) {
        return;
    }
    if (const auto* section = dynamic_cast<const vx::config::Config*>(node)) {
        Element& object = add(parent, "object");
        section->forEach([&](const std::string& key, const std::shared_ptr<vx::config::ConfigBase>& child) {
            Element& property = object.addElement("property");
            property.setAttribute("id", key);
            writeConfig(child.get(), property);
            return 0;
        });
    } else if (const auto* text = dynamic_cast<const vx::config::ConfigScalar<std::string>*>(node)) {
        writeString(text->value(), parent);
    }
    // Integer and bool values are not written.
}

template <class Parent> void writeValue(const vx::Variant& value, Parent& parent) {
    using Kind = vx::Variant::Kind;
    switch (value.kind()) {
    case Kind::Empty:
        add(parent, "null");
        return;
    case Kind::Bool:
        add(parent, value.asBool() ? "true" : "false");
        return;
    case Kind::Extended:
        writeNumberText(formatNumber(*value.ifExtended()), parent);
        return;
    case Kind::Float:
        writeNumberText(formatNumber(*value.ifFloat()), parent);
        return;
    case Kind::Double:
        writeNumberText(formatNumber(*value.ifDouble()), parent);
        return;
    case Kind::Int32: {
        char buffer[16];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value.asInt32());
        writeNumberText(std::string(buffer, result.ptr), parent);
        return;
    }
    case Kind::String:
        writeString(value.asString(), parent);
        return;
    case Kind::RecordList: {
        Element& array = add(parent, "array");
        std::size_t index = 0;
        for (const vx::Variant::RecordRef& record : value.asRecordList()) {
            Element& property = array.addElement("property");
            property.setAttribute("id", std::to_string(index++));
            if (record) {
                writeRecord(*record, property.addElement("object"));
            }
        }
        return;
    }
    case Kind::StringList: {
        Element& array = add(parent, "array");
        std::size_t index = 0;
        for (const std::string& text : value.asStringList()) {
            Element& property = array.addElement("property");
            property.setAttribute("id", std::to_string(index++));
            writeString(text, property);
        }
        return;
    }
    case Kind::Config:
        writeConfig(value.asConfig().get(), parent);
        return;
    case Kind::Record:
        if (value.asRecord()) {
            writeRecord(*value.asRecord(), add(parent, "object"));
        }
        return;
    default:
        // Lists and maps from the movie, dispatch references, the null pointer.
        return;
    }
}

void writeRecord(const vx::ListAppsVariant& record, Element& object) {
    for (const auto& [key, item] : record.value()) {
        Element& property = object.addElement("property");
        property.setAttribute("id", key);
        writeValue(item, property);
    }
}

// The text of the element's first child when that is a text; null otherwise.
const std::string* firstText(const Element& element) {
    if (element.children().empty()) {
        return nullptr;
    }
    const runtime::xml::Text* text = element.children().front()->asText();
    return text ? &text->text() : nullptr;
}

// The value element held by a "property".
const Element& propertyValue(const Element& property) {
    const Element* value = property.firstElement();
    if (value == nullptr) {
        throw runtime::Exception("A property without a value");
    }
    return *value;
}

bool isDigitOf(char c, int base) {
    switch (base) {
    case 2: return c == '0' || c == '1';
    case 8: return c >= '0' && c <= '7';
    case 10: return c >= '0' && c <= '9';
    default:
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    }
}

int digitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    return (c | 0x20) - 'a' + 10;
}

[[noreturn]] void notANumber(std::string_view text) {
    // Bounded, so a megabyte of junk does not become a megabyte of log.
    constexpr std::size_t shown = 64;
    throw runtime::Exception("Not a number: " + std::string(text.substr(0, shown)) +
                             (text.size() > shown ? "..." : ""));
}

} // namespace

long double parseNumber(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '-') {
            negative = !negative;
        } else if (c != '+' && c != ' ' && c != '\t') {
            break;
        }
    }
    const std::string_view rest = text.substr(i);
    long double value = 0;
    if (rest == "inf") {
        value = INFINITY;
    } else if (rest == "nan") {
        value = NAN;
    } else if (rest.size() > 2 && rest[0] == '0' &&
               ((rest[1] | 0x20) == 'x' || (rest[1] | 0x20) == 'b' || (rest[1] | 0x20) == 'o')) {
        const int base = (rest[1] | 0x20) == 'x' ? 16 : (rest[1] | 0x20) == 'b' ? 2 : 8;
        for (std::size_t k = 2; k < rest.size(); ++k) {
            if (!isDigitOf(rest[k], base)) {
                notANumber(text);
            }
            value = value * base + digitValue(rest[k]);
        }
    } else {
        // digits [ "." digits ] [ ("e" | "E") [sign] digits ], with a digit somewhere
        // before the exponent.
        std::size_t k = 0;
        std::size_t mantissaDigits = 0;
        while (k < rest.size() && isDigitOf(rest[k], 10)) {
            ++k;
            ++mantissaDigits;
        }
        if (k < rest.size() && rest[k] == '.') {
            ++k;
            while (k < rest.size() && isDigitOf(rest[k], 10)) {
                ++k;
                ++mantissaDigits;
            }
        }
        if (mantissaDigits == 0) {
            notANumber(text);
        }
        if (k < rest.size() && (rest[k] == 'e' || rest[k] == 'E')) {
            ++k;
            if (k < rest.size() && (rest[k] == '+' || rest[k] == '-')) {
                ++k;
            }
            const std::size_t exponentStart = k;
            while (k < rest.size() && isDigitOf(rest[k], 10)) {
                ++k;
            }
            if (k == exponentStart) {
                notANumber(text);
            }
        }
        if (k != rest.size()) {
            notANumber(text);
        }
        // The grammar above is a subset of what strtold reads, so it uses all of it.
        const std::string copy(rest);
        value = std::strtold(copy.c_str(), nullptr);
    }
    return negative ? -value : value;
}

std::string formatNumber(long double value) {
    if (std::isnan(value)) {
        return std::signbit(value) ? "-nan" : "nan";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-inf" : "inf";
    }
    const long double magnitude = std::fabs(value);
    const bool exponentForm = magnitude >= 1e10L || (magnitude != 0 && magnitude < 1e-9L);
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      exponentForm ? std::chars_format::scientific
                                                   : std::chars_format::fixed,
                                      2);
    return std::string(buffer, result.ptr);
}

void serializeValue(const vx::Variant& value, Element& parent) {
    writeValue(value, parent);
}

void serializeValue(const vx::Variant& value, runtime::xml::Document& document) {
    writeValue(value, document);
}

std::string serializeCall(const std::string& functionName, const vx::Variant::List& arguments) {
    runtime::xml::Document document(kDocumentNodes);
    Element& invoke = document.addElement("invoke");
    invoke.setAttribute("name", functionName);
    invoke.setAttribute("returntype", "xml");
    if (!arguments.empty()) {
        Element& list = invoke.addElement("arguments");
        for (const vx::Variant& argument : arguments) {
            serializeValue(argument, list);
        }
    }
    return SpacelessDocPrinter().print(document);
}

std::string serializeReturn(const vx::Variant& value) {
    runtime::xml::Document document(kDocumentNodes);
    serializeValue(value, document);
    std::string text = SpacelessDocPrinter().print(document);
    vx::logger::info(text);
    return text;
}

vx::Variant deserializeValue(const Element& element) {
    const std::string& name = element.name();
    if (name == "null" || name == "undefined") {
        return {};
    }
    if (name == "true") {
        return vx::Variant(true);
    }
    if (name == "false") {
        return vx::Variant(false);
    }
    if (name == "number") {
        const std::string* text = firstText(element);
        return vx::Variant(text ? parseNumber(*text) : 0.0L);
    }
    if (name == "string") {
        const std::string* text = firstText(element);
        return vx::Variant(text ? decodeEntities(*text) : std::string());
    }
    if (name == "array") {
        vx::Variant::List list;
        for (const runtime::xml::Node* child : element.children()) {
            if (const Element* property = child->asElement()) {
                list.push_back(deserializeValue(propertyValue(*property)));
            }
        }
        return vx::Variant(std::move(list));
    }
    if (name == "object") {
        vx::Variant::Map map;
        for (const runtime::xml::Node* child : element.children()) {
            if (const Element* property = child->asElement()) {
                const std::string* id = property->attribute("id");
                if (id == nullptr) {
                    throw runtime::Exception("A property without an id");
                }
                map.insert_or_assign(*id, deserializeValue(propertyValue(*property)));
            }
        }
        return vx::Variant(std::move(map));
    }
    throw runtime::Exception("Invalid parameter type!" + name);
}

ExternalInterfaceCall deserializeCall(std::string_view request) {
    const runtime::xml::Document document =
        runtime::xml::parse(request, runtime::xml::kDefaultMaxDepth, kDocumentNodes);
    const Element* invoke = document.firstElement("invoke");
    const std::string* name = invoke ? invoke->attribute("name") : nullptr;
    if (name == nullptr) {
        throw runtime::Exception("The request holds no invoke element with a name");
    }
    ExternalInterfaceCall call(*name);
    if (const Element* arguments = invoke->firstElement("arguments")) {
        for (const runtime::xml::Node* child : arguments->children()) {
            if (const Element* value = child->asElement()) {
                call.addArgument(deserializeValue(*value));
            }
        }
    }
    return call;
}

} // namespace external
