// The ExternalInterface XML between the movie and the host, both ways.
//
//   request:  <invoke name="F" returntype="xml"><arguments>VALUE...</arguments></invoke>
//             (no arguments: <invoke name="F" returntype="xml"/>)
//   reply:    VALUE alone
//   VALUE:    <null/> <undefined/> <true/> <false/> <number>T</number> <string>T</string>
//             <array><property id="0">VALUE</property>...</array>
//             <object><property id="key">VALUE</property>...</object>
//
// Written without any white space between tags. Numbers are written with two decimals
// (exponent form from 1e10 up and below 1e-9; "nan", "inf" with their signs), 32-bit
// integers as plain decimals. Lists and maps (what the movie sends) are never written:
// a value the writer does not know produces no element, so a reply of such a value is
// the empty text. Function names, keys and ids are written as they are.
//
// Reading: every number arrives as extended precision, strings with the five entities
// decoded, arrays as lists in document order (ids ignored), objects as maps (a later
// property with the same id wins). Request texts come from the movie and are untrusted:
// any fault (malformed XML, nesting deeper than the reader allows, an unknown element,
// a number that does not parse) is a runtime::Exception, never anything worse.
//
// Pure functions, callable from any thread.
#pragma once

#include "external/ExternalInterfaceCall.h"
#include "runtime/xml/Document.h"
#include "vx/Variant.h"

#include <string>
#include <string_view>

namespace external {

// Room each document of this format is made with.
inline constexpr std::size_t kDocumentNodes = 1000;

std::string serializeCall(const std::string& functionName, const vx::Variant::List& arguments);
// The reply text; also written to the log.
std::string serializeReturn(const vx::Variant& value);
ExternalInterfaceCall deserializeCall(std::string_view request);

// Appends the element(s) of `value` to `parent` (nothing for a kind that is not written).
void serializeValue(const vx::Variant& value, runtime::xml::Element& parent);
// The same at the top of a document.
void serializeValue(const vx::Variant& value, runtime::xml::Document& document);
vx::Variant deserializeValue(const runtime::xml::Element& element);

// The number grammar of "number" elements: blanks, tabs and signs ("-" negates), then
// decimal digits with optional fraction and exponent, "inf", "nan", or 0x / 0b / 0o and
// digits of that base; the whole text must be used. Throws runtime::Exception otherwise.
long double parseNumber(std::string_view text);
// The text of a written number: "42.00", "-0.25", "1.23e+10", "nan", "-inf".
std::string formatNumber(long double value);

} // namespace external
