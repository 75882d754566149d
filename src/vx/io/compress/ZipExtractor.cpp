#include "vx/io/compress/ZipExtractor.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"
#include "runtime/Paths.h"
#include "runtime/Utf.h"
#include "runtime/zip/ZipReader.h"
#include "vx/Exception.h"
#include "vx/logger.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace vx::io::compress {

namespace fs = std::filesystem;

namespace {

// A segment Windows would not store under the name the archive gives it: the shell and
// the file system strip trailing dots and blanks, read device names as devices whatever
// the extension, and refuse or reinterpret the characters below (":" opens an alternate
// stream or names a drive).
std::string refusedSegment(const std::string& segment) {
    if (segment == "..") {
        return "it leads outside the destination";
    }
    if (segment.back() == '.' || segment.back() == ' ') {
        return "a part of it ends in a dot or a blank";
    }
    for (const char c : segment) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return "it holds a control character";
        }
        if (std::string_view("<>:\"|?*").find(c) != std::string_view::npos) {
            return runtime::format("it holds the character {}", std::string(1, c));
        }
    }
    std::string base = segment.substr(0, segment.find('.'));
    while (!base.empty() && base.back() == ' ') {
        base.pop_back();
    }
    for (char& c : base) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    bool device = std::find(std::begin(devices), std::end(devices), base) != std::end(devices);
    if (base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
        base[3] >= '0' && base[3] <= '9') {
        device = true;
    }
    // COM and LPT with a superscript one, two or three are devices too.
    if (base.size() == 5 && (base.starts_with("COM") || base.starts_with("LPT")) &&
        (base.substr(3) == "\xC2\xB9" || base.substr(3) == "\xC2\xB2" ||
         base.substr(3) == "\xC2\xB3")) {
        device = true;
    }
    if (device) {
        return "it is a reserved device name";
    }
    return {};
}

// The entry's name as "/"-separated segments below the destination, or why it is refused.
struct SafeName {
    std::vector<std::string> segments;
    bool folder = false;
    std::string refusal;
};

SafeName checkName(const std::string& name) {
    SafeName result;
    if (name.empty()) {
        result.refusal = "its name is empty";
        return result;
    }
    if (!runtime::isValidUtf8(name)) {
        result.refusal = "its name is not valid text";
        return result;
    }
    if (name.front() == '/' || name.front() == '\\') {
        result.refusal = "its name is absolute";
        return result;
    }
    result.folder = name.back() == '/' || name.back() == '\\';
    std::string segment;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && name[i] != '/' && name[i] != '\\') {
            segment += name[i];
            continue;
        }
        if (!segment.empty()) {
            result.refusal = refusedSegment(segment);
            if (!result.refusal.empty()) {
                return result;
            }
            result.segments.push_back(segment);
        }
        segment.clear();
    }
    if (result.segments.empty()) {
        result.refusal = "its name is empty";
    }
    return result;
}

std::atomic<unsigned> partCounter{0};

void writeEntry(const runtime::zip::ZipReader& reader, std::size_t index, const fs::path& target,
                std::vector<char>& buffer) {
    fs::create_directories(target.parent_path());
    auto stream = reader.open(index);
    fs::path part = target;
    part += runtime::pathFromUtf8(runtime::format(".{}.part", ++partCounter));
    try {
        {
            std::ofstream out(part, std::ios::binary | std::ios::trunc);
            if (!out) {
                throw runtime::Exception("Cannot create " + runtime::utf8FromPath(part));
            }
            for (;;) {
                const std::size_t got = stream->read(buffer.data(), buffer.size());
                if (got == 0) {
                    break;
                }
                out.write(buffer.data(), static_cast<std::streamsize>(got));
            }
            out.close();
            if (!out) {
                throw runtime::Exception("Cannot write " + runtime::utf8FromPath(part));
            }
        }
        fs::rename(part, target);
    } catch (...) {
        std::error_code ignored;
        fs::remove(part, ignored);
        throw;
    }
}

} // namespace

ZipExtractor::ZipExtractor(std::string archive) : archive_(std::move(archive)) {}

void ZipExtractor::extract(const std::string& destination, bool stopOnError) {
    extractReporting(destination, stopOnError);
}

std::vector<ZipExtractor::SkippedEntry>
ZipExtractor::extractReporting(const std::string& destination, bool stopOnError, unsigned) {
    std::unique_ptr<runtime::zip::ZipReader> reader;
    try {
        reader = std::make_unique<runtime::zip::ZipReader>(archive_);
    } catch (...) {
        throw VXFileException("Cannot open the archive " + archive_, std::current_exception());
    }
    std::vector<SkippedEntry> skipped;
    std::vector<char> buffer(64 * 1024);
    const fs::path root = runtime::pathFromUtf8(destination);
    const auto& entries = reader->entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string& name = entries[i].name;
        std::string reason;
        try {
            const SafeName safe = checkName(name);
            if (!safe.refusal.empty()) {
                throw runtime::Exception("Refused: " + safe.refusal);
            }
            fs::path target = root;
            for (const std::string& segment : safe.segments) {
                target /= runtime::pathFromUtf8(segment);
            }
            if (safe.folder) {
                fs::create_directories(target);
            } else {
                writeEntry(*reader, i, target, buffer);
            }
            continue;
        } catch (const std::exception& error) {
            reason = error.what();
            if (stopOnError) {
                reader->close();
                throw VXFileException(
                    runtime::format("Cannot extract the archive entry \"{}\": {}", name, reason),
                    std::current_exception());
            }
        }
        vx::logger::info("Skipped archive entry \"{}\": {}", name, reason);
        skipped.push_back({name, reason});
    }
    reader->close();
    return skipped;
}

} // namespace vx::io::compress
