// Prints a document with no white space between tags: the standard layout's line
// breaks and indentation are trimmed away piece by piece, so `<a><b>x</b></a>` comes
// out as exactly that. A text holding a CR LF pair loses the white space at its two
// ends (the format has always done so; movies rely on nothing else). Elements without
// children take the short form "<name/>".
#pragma once

#include "runtime/xml/Document.h"

#include <string>

namespace external {

class SpacelessDocPrinter {
public:
    std::string print(const runtime::xml::Document& document) const;
};

} // namespace external
