// brivola-unzip ARCHIVE DEST: unpacks ARCHIVE below DEST the way the program does
// (entries that fail are skipped) and prints one line per skipped entry and why.
// Exit code 0 when every entry was written, 1 when some were skipped, 2 when the
// archive cannot be read or the arguments are wrong.
#include "runtime/Exception.h"
#include "runtime/Utf.h"
#include "vx/Exception.h"
#include "vx/io/compress/ZipExtractor.h"

#include <cstdio>
#include <exception>
#include <string>

namespace {

int run(int argc, const std::string* argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: brivola-unzip ARCHIVE DEST\n");
        return 2;
    }
    try {
        vx::io::compress::ZipExtractor extractor(argv[1]);
        const auto skipped = extractor.extractReporting(argv[2], false);
        for (const auto& entry : skipped) {
            std::printf("skipped %s: %s\n", entry.name.c_str(), entry.reason.c_str());
        }
        return skipped.empty() ? 0 : 1;
    } catch (const vx::VXException& error) {
        std::fprintf(stderr, "brivola-unzip: %s: %s\n", error.what(),
                     runtime::describe(error.getCause()).c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "brivola-unzip: %s\n", error.what());
    }
    return 2;
}

} // namespace

#ifdef _WIN32
// Arguments as UTF-16, so that any file name reaches the extractor intact.
int wmain(int argc, wchar_t** argv) {
    std::string args[3];
    for (int i = 0; i < argc && i < 3; ++i) {
        const std::wstring wide(argv[i]);
        args[i] = runtime::utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
    }
    return run(argc, args);
}
#else
int main(int argc, char** argv) {
    std::string args[3];
    for (int i = 0; i < argc && i < 3; ++i) {
        args[i] = argv[i];
    }
    return run(argc, args);
}
#endif
