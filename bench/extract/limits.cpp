// bench_extract: the limits for the extraction benchmark (bench/extract/run.sh).
//   bench_extract --unzip-path        the brivola-unzip built with this benchmark
//   bench_extract ARCHIVE FOLDER      reads the whole archive into memory (not timed), then
//                                     for every file entry, one after the other: inflates
//                                     its data with zlib into memory, checksums it, and
//                                     writes the bytes into FOLDER under the entry's name
//                                     (folders made as needed) in 128 KiB pieces. Prints the seconds each
//                                     step took in total: "inflate S", "crc S", "write S".
// Names are taken as they are (the benchmark's own archives): this is no extractor.
#include "runtime/zip/ZipReader.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr std::size_t kPiece = 128 * 1024;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

unsigned le16(const unsigned char* p) { return p[0] | (p[1] << 8); }

int fail(const std::string& what) {
    std::fprintf(stderr, "bench_extract: %s\n", what.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--unzip-path") == 0) {
        std::printf("%s\n", BRIVOLA_UNZIP_PATH);
        return 0;
    }
    if (argc != 3) {
        return fail("usage: bench_extract --unzip-path | bench_extract ARCHIVE FOLDER");
    }
    const runtime::zip::ZipReader reader(argv[1]);
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<unsigned char> archive{std::istreambuf_iterator<char>(in),
                                             std::istreambuf_iterator<char>()};
    const fs::path folder(argv[2]);
    std::vector<unsigned char> data;
    Clock::duration inflating{}, checking{}, writing{};
    std::uint64_t bytes = 0;
    for (const auto& entry : reader.entries()) {
        if (entry.isDirectory()) {
            continue;
        }
        const unsigned char* header = archive.data() + entry.localHeaderOffset;
        const unsigned char* packed = header + 30 + le16(header + 26) + le16(header + 28);
        data.resize(entry.uncompressedSize);

        auto start = Clock::now();
        if (entry.method == 8) {
            z_stream z{};
            inflateInit2(&z, -MAX_WBITS);
            z.next_in = const_cast<unsigned char*>(packed);
            z.avail_in = static_cast<uInt>(entry.compressedSize);
            z.next_out = data.data();
            z.avail_out = static_cast<uInt>(data.size());
            const int status = inflate(&z, Z_FINISH);
            inflateEnd(&z);
            if (status != Z_STREAM_END || z.total_out != data.size()) {
                return fail("cannot inflate " + entry.name);
            }
        } else {
            std::memcpy(data.data(), packed, data.size());
        }
        auto end = Clock::now();
        inflating += end - start;

        start = end;
        const std::uint32_t crc = runtime::zip::crc32(0, data.data(), data.size());
        end = Clock::now();
        checking += end - start;
        if (crc != entry.crc32) {
            return fail("checksum mismatch in " + entry.name);
        }

        start = end;
        const fs::path target = folder / entry.name;
        fs::create_directories(target.parent_path());
        // In pieces of the extractor's buffer size, as a program that streams would.
        std::FILE* out = std::fopen(target.c_str(), "wb");
        if (out == nullptr) {
            return fail("cannot write " + target.string());
        }
        std::setvbuf(out, nullptr, _IONBF, 0);
        for (std::size_t at = 0; at < data.size(); at += kPiece) {
            const std::size_t n = std::min(kPiece, data.size() - at);
            if (std::fwrite(data.data() + at, 1, n, out) != n) {
                return fail("cannot write " + target.string());
            }
        }
        if (std::fclose(out) != 0) {
            return fail("cannot write " + target.string());
        }
        writing += Clock::now() - start;
        bytes += data.size();
    }
    std::printf("bytes %llu\ninflate %.3f\ncrc %.3f\nwrite %.3f\n",
                static_cast<unsigned long long>(bytes), seconds(inflating), seconds(checking),
                seconds(writing));
    return 0;
}
