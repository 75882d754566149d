// Writes documents and elements as XML text.
//
// The standard layout puts every element that holds only elements on lines of its own,
// each line ending in CR LF and indented by four spaces a level (up to 32 levels). An element with
// any text among its children is written on one line with its whole content as it stands, since
// added white space would change the text. Elements without children take the short form `<name/>`;
// attribute values are written in double quotes exactly as they are stored (no entity encoding: a
// value must not hold a double quote, or the output is not well-formed); texts are written exactly
// as they are. No XML declaration is written. A document's top-level elements each end with CR LF.
//
// The printer hands its output to a PieceSink as a series of pieces, each made of one
// or more parts. Every line break with its indentation is a piece of its own, every text
// is a piece of its own, and no other piece begins or ends with white space, so a sink
// that trims white space off pieces holding a CR LF removes the layout and nothing else
// except at the ends of texts that themselves hold a CR LF.
//
// The printer does not recurse, so documents of any depth can be printed. Pure
// functions; callable from any thread.
#pragma once

#include "runtime/xml/Document.h"

#include <span>
#include <string>
#include <string_view>

namespace runtime::xml {

class PieceSink {
public:
    virtual ~PieceSink() = default;
    // The parts stay valid only during the call.
    virtual void piece(std::span<const std::string_view> parts) = 0;
};

void print(const Document& document, PieceSink& sink);
void print(const Element& element, PieceSink& sink);

// The standard layout as one text.
std::string print(const Document& document);
std::string print(const Element& element);

// No white space between tags: each piece is joined from its parts and, when it holds a
// CR LF pair, loses the spaces, tabs, CRs and LFs at both of its ends. So
// `<a><b>x</b></a>` prints as exactly that; a text holding a CR LF loses the white space
// at its two ends.
std::string printSpaceless(const Document& document);
std::string printSpaceless(const Element& element);

} // namespace runtime::xml
