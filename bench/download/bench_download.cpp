// One download with the product's downloader, as the installer fetches its files:
//   bench_download URL PATH
// Stores the body of URL in PATH through HttpDownloader::downloadToFile and prints the
// process's peak resident size as "peak_rss_kib N". The caller times the whole run, the
// same way as it times curl. Exits 1 when the download fails or the status is not 200
// (no file then).
#include "vx/net/http/HttpDownloader.h"

#include "runtime/Exception.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <system_error>

#include <sys/resource.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s URL PATH\n", argv[0]);
        return 2;
    }
    try {
        vx::net::http::HttpDownloader().downloadToFile(argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_download: %s\n", e.what());
        return 1;
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(argv[2], error)) {
        std::fprintf(stderr, "bench_download: no file at %s (status not 200?)\n", argv[2]);
        return 1;
    }
    rusage usage{};
    if (::getrusage(RUSAGE_SELF, &usage) != 0) {
        std::perror("getrusage");
        return 1;
    }
    // Linux gives ru_maxrss in KiB.
    std::printf("peak_rss_kib %ld\n", usage.ru_maxrss);
    return 0;
}
