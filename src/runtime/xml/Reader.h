// Reads a complete XML document held in memory into a Document.
//
// Accepted: an optional UTF-8 byte order mark and XML declaration, processing
// instructions and comments (both skipped), elements with attributes in single or
// double quotes, empty-element tags, text. Texts and attribute values are handed over
// exactly as they stand, entities included; bytes are not checked to be UTF-8. White
// space between top-level elements is dropped; inside an element every text is kept.
// Not accepted: DOCTYPE and CDATA sections, text outside the top-level elements, and
// anything not well-formed (mismatched or unclosed tags, duplicate attributes, "<" in an
// attribute value).
//
// The input comes from an untrusted movie: parsing never recurses, so nothing in the
// input can exhaust the stack, and elements may nest at most `maxDepth` deep. Every
// failure is a runtime::Exception whose message names the fault and its byte offset.
// Callable from any thread.
#pragma once

#include "runtime/xml/Document.h"

#include <cstddef>
#include <string_view>

namespace runtime::xml {

// Far deeper than any value the movie sends, and small enough that code walking the
// result recursively stays well inside a thread's stack.
inline constexpr std::size_t kDefaultMaxDepth = 256;

Document parse(std::string_view text, std::size_t maxDepth = kDefaultMaxDepth,
               std::size_t nodeCapacity = 16);

} // namespace runtime::xml
