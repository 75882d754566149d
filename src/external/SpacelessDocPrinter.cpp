#include "external/SpacelessDocPrinter.h"

#include "runtime/xml/Printer.h"

namespace external {

std::string SpacelessDocPrinter::print(const runtime::xml::Document& document) const {
    return runtime::xml::printSpaceless(document);
}

} // namespace external
