// Fuzz target for the configuration reader. Any bytes must give a tree or a VXException
// ("Level mismatch!"); a tree that was read must write out as text that reads back to
// the same text, and its size must stay in proportion to the input. Any other exception
// escapes on purpose so that the fuzzer reports it.
#include "vx/Exception.h"
#include "vx/config/ConfigParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

// The sanitizer runtime's count of live heap bytes (ASan in both the fuzz and the replay
// build). Declared here, weak, because GCC ships no header for it.
extern "C" __attribute__((weak)) std::size_t __sanitizer_get_current_allocated_bytes();

namespace {

using vx::config::Config;
using vx::config::ConfigParser;

[[noreturn]] void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "fuzz_config: %s\n%s\n", what, detail.c_str());
    std::abort();
}

// The tree may take this many bytes per input byte, plus a fixed allowance. Files made
// only of short keys or headers ("a=\n", "[a]\n") measure 30 to 50: each line costs a map
// node, a key copy and a value or section object. Well past that, something grows
// faster than the input.
constexpr std::size_t kBytesPerInputByte = 128;
constexpr std::size_t kFixedBytes = 64 * 1024;

std::size_t allocatedBytes() {
    return __sanitizer_get_current_allocated_bytes != nullptr
               ? __sanitizer_get_current_allocated_bytes()
               : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ConfigParser parser;

    const std::size_t before = allocatedBytes();
    std::shared_ptr<Config> tree;
    try {
        tree = parser.parse(text);
    } catch (const vx::VXException&) {
        return 0; // a refused file is a correct answer
    }
    const std::size_t after = allocatedBytes();
    if (after > before && after - before > kBytesPerInputByte * size + kFixedBytes) {
        fail("the tree takes more memory than the input warrants",
             std::to_string(after - before) + " bytes for " + std::to_string(size) +
                 " input bytes");
    }

    const std::string written = ConfigParser::toText(*tree);
    std::shared_ptr<Config> reread;
    try {
        reread = parser.parse(written);
    } catch (const vx::VXException& error) {
        fail("the written text of a tree does not read back", error.what() + ("\n" + written));
    }
    const std::string rewritten = ConfigParser::toText(*reread);
    if (rewritten != written) {
        fail("the tree read back writes different text",
             "first:\n" + written + "\nsecond:\n" + rewritten);
    }
    return 0;
}
