// Fuzz target for unpacking archives. Any bytes are written as an archive into a scratch
// folder and unpacked below out/ in it, first skipping the entries that fail, then again
// over the result stopping at the first failure. After each run:
//   - the scratch folder holds the archive, unchanged, and out/ and nothing else (an
//     entry that led outside the destination would land beside them);
//   - every file below out/ is one an entry of the archive names (split at "/" and "\"),
//     with that entry's declared size and checksum: no partly written or temporary file,
//     no bytes beyond what the archive declares;
//   - the bytes written together stay within the declared sizes of the file entries;
//   - nothing but the extractor's own exception escapes.
// Anything else aborts so that the fuzzer reports it.
#include "runtime/Exception.h"
#include "runtime/Paths.h"
#include "runtime/zip/ZipReader.h"
#include "support/DroppedLog.h"
#include "vx/Exception.h"
#include "vx/io/compress/ZipExtractor.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "fuzz_zip: %s\n%s\n", what, detail.c_str());
    std::abort();
}

// The relative path ("/"-separated) an entry's name would give below the destination:
// both separators split, empty segments dropped.
std::string relativeTarget(const std::string& name) {
    std::string result;
    std::string segment;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && name[i] != '/' && name[i] != '\\') {
            segment += name[i];
            continue;
        }
        if (!segment.empty()) {
            result += (result.empty() ? "" : "/") + segment;
        }
        segment.clear();
    }
    return result;
}

struct Declared {
    std::uint64_t size;
    std::uint32_t crc;
};

struct Expectation {
    // Every (size, checksum) a file entry declares for one target path.
    std::multimap<std::string, Declared> files;
    std::uint64_t totalDeclared = 0;
};

Expectation expect(const std::string& archive) {
    Expectation result;
    try {
        const runtime::zip::ZipReader reader(archive);
        for (const auto& entry : reader.entries()) {
            if (entry.isDirectory()) {
                continue;
            }
            result.files.emplace(relativeTarget(entry.name),
                                 Declared{entry.uncompressedSize, entry.crc32});
            result.totalDeclared += entry.uncompressedSize;
        }
    } catch (const runtime::zip::ZipError&) {
        // Not an archive: nothing may be written.
    }
    return result;
}

std::uint32_t fileCrc(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> buffer(64 * 1024);
    std::uint32_t crc = 0;
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        crc = runtime::zip::crc32(crc, buffer.data(), static_cast<std::size_t>(in.gcount()));
    }
    return crc;
}

void checkScratch(const fs::path& scratch, const Expectation& expected, std::uint32_t inputCrc,
                  std::uint64_t inputSize, const char* run) {
    // "out/../archive.zip" would pass the listing below: the input must be intact too.
    if (fs::file_size(scratch / "archive.zip") != inputSize ||
        fileCrc(scratch / "archive.zip") != inputCrc) {
        fail("the archive itself was overwritten", run);
    }
    for (const auto& item : fs::directory_iterator(scratch)) {
        const std::string name = item.path().filename().string();
        if (name != "archive.zip" && name != "out") {
            fail("something was written outside the destination", std::string(run) + ": " + name);
        }
    }
    std::uint64_t total = 0;
    for (const auto& item : fs::recursive_directory_iterator(scratch / "out")) {
        if (item.is_symlink()) {
            fail("a link was written", item.path().string());
        }
        if (item.is_directory()) {
            continue;
        }
        const std::string relative = fs::relative(item.path(), scratch / "out").generic_string();
        const std::uint64_t size = item.file_size();
        total += size;
        const auto [first, last] = expected.files.equal_range(relative);
        if (first == last) {
            fail("a file no entry names was written", std::string(run) + ": " + relative);
        }
        const std::uint32_t crc = fileCrc(item.path());
        bool matches = false;
        for (auto at = first; at != last && !matches; ++at) {
            matches = at->second.size == size && at->second.crc == crc;
        }
        if (!matches) {
            fail("a file differs from every entry of its name",
                 std::string(run) + ": " + relative + " (" + std::to_string(size) + " bytes)");
        }
    }
    if (total > expected.totalDeclared) {
        fail("more bytes were written than the archive declares",
             std::string(run) + ": " + std::to_string(total) + " > " +
                 std::to_string(expected.totalDeclared));
    }
}

// A folder of this process's own, emptied for every input.
// Never destroyed, so that the clean-up at exit can still use it.
const fs::path& scratchFolder() {
    static const fs::path* const folder = [] {
        auto* path = new fs::path(fs::temp_directory_path() /
                                  ("brivola-fuzz-zip-" + std::to_string(::getpid())));
        fs::remove_all(*path);
        fs::create_directories(*path);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(scratchFolder(), ignored);
        });
        return path;
    }();
    return *folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const testing_support::DroppedLog silent;
    const fs::path& scratch = scratchFolder();
    for (const auto& item : fs::directory_iterator(scratch)) {
        fs::remove_all(item.path());
    }
    const fs::path archive = scratch / "archive.zip";
    {
        std::ofstream out(archive, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) {
            fail("cannot write the input", archive.string());
        }
    }
    const std::string archivePath = runtime::utf8FromPath(archive);
    const std::string destination = runtime::utf8FromPath(scratch / "out");
    const Expectation expected = expect(archivePath);
    const std::uint32_t inputCrc = runtime::zip::crc32(0, data, size);

    vx::io::compress::ZipExtractor extractor(archivePath);
    for (const bool stopOnError : {false, true}) {
        const char* run = stopOnError ? "stopping on errors" : "skipping errors";
        try {
            (void)extractor.extractReporting(destination, stopOnError);
        } catch (const vx::VXFileException&) {
            // The archive cannot be read, or (stopping) an entry failed: both allowed.
        } catch (const std::exception& error) {
            fail("an unexpected exception escaped", std::string(run) + ": " + error.what());
        } catch (...) {
            fail("an unexpected exception escaped", run);
        }
        fs::create_directories(scratch / "out"); // absent when the archive was unreadable
        checkScratch(scratch, expected, inputCrc, size, run);
    }
    return 0;
}
