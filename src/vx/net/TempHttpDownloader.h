// Fetches a program into a new temporary file and runs it: how the installers of other
// vendors are brought in. Judging how the program ended is the caller's business.
//
// Each call runs on the calling thread and blocks it for the whole download and the
// whole run of the program (no time limit). Every successful download leaves one new
// file in the user's temporary folder; nothing here deletes it, also not after the run.
// The object keeps no state between calls beyond what it was made with, so it may run
// downloads one after the other; the downloader it holds may be shared.
#pragma once

#include "runtime/Uri.h"
#include "vx/net/http/HttpDownloader.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vx::net {

class TempHttpDownloader {
public:
    // How a run ended: `outcome` ran with `status` the program's exit code, or
    // notRunning with `status` the system's error code from the failed wait (-1 when
    // there was no program to wait for).
    struct RunResult {
        std::int32_t outcome;
        std::int32_t status;
    };
    static constexpr std::int32_t ran = 0;
    static constexpr std::int32_t notRunning = 4;

    // `beforeRun` (may be empty) is called after a successful download, right before
    // the program is started.
    explicit TempHttpDownloader(std::shared_ptr<http::HttpDownloader> downloader,
                                std::function<void()> beforeRun = {});
    virtual ~TempHttpDownloader() = default;

    // Downloads into a new temporary file and returns its path (UTF-8). A status other
    // than 200 is no error: it gives an empty file. Failures propagate as the
    // downloader and the runtime raise them (a text URL that does not parse, a request
    // that cannot be opened, a body cut short, a file that cannot be made or written);
    // after a failure no file of this call is left.
    virtual std::string downloadToTemp(const std::string& url);
    virtual std::string downloadToTemp(const runtime::Uri& uri);

    // Downloads, runs the file with its own path and then `args` as the argument list,
    // and waits for its end. A failed download throws VXDownloadException and a
    // program that cannot be started VXProcessException, each with the failure as
    // cause; a failed wait is reported in the result, not thrown. Any exit code is a
    // normal return.
    virtual RunResult downloadAndRun(const std::string& url, const std::vector<std::string>& args);
    virtual RunResult downloadAndRun(const runtime::Uri& uri, const std::vector<std::string>& args);

private:
    std::shared_ptr<http::HttpDownloader> downloader_;
    std::function<void()> beforeRun_;
};

} // namespace vx::net
