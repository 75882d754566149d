#include "vx/io/compress/ZipExtractor.h"

#include "vx/Exception.h"

namespace vx::io::compress {

ZipExtractor::ZipExtractor(std::string archive) : archive_(std::move(archive)) {}

void ZipExtractor::extract(const std::string& destination, bool stopOnError) {
    extractReporting(destination, stopOnError);
}

std::vector<ZipExtractor::SkippedEntry> ZipExtractor::extractReporting(const std::string&, bool,
                                                                       unsigned) {
    throw VXFileException("Cannot open the archive " + archive_);
}

} // namespace vx::io::compress
