#include "vx/net/TempHttpDownloader.h"

#include "runtime/Paths.h"
#include "runtime/Process.h"
#include "runtime/TempFile.h"
#include "vx/Exception.h"
#include "vx/logger.h"

#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

namespace vx::net {

TempHttpDownloader::TempHttpDownloader(std::shared_ptr<http::HttpDownloader> downloader,
                                       std::function<void()> beforeRun)
    : downloader_(std::move(downloader)), beforeRun_(std::move(beforeRun)) {}

std::string TempHttpDownloader::downloadToTemp(const std::string& url) {
    return downloadToTemp(runtime::Uri::parse(url));
}

std::string TempHttpDownloader::downloadToTemp(const runtime::Uri& uri) {
    logger::info("Create temp file");
    runtime::TempFile file;
    try {
        logger::info("Reading stream");
        downloader_->copyTo(uri, file.stream());
        logger::info("Returning temp file");
        file.close();
    } catch (...) {
        // Nobody gets the path of a half-written file, so it must not stay behind.
        try {
            file.close();
        } catch (...) {
        }
        std::error_code ignored;
        std::filesystem::remove(runtime::pathFromUtf8(file.path()), ignored);
        throw;
    }
    return file.path();
}

TempHttpDownloader::RunResult
TempHttpDownloader::downloadAndRun(const std::string& url, const std::vector<std::string>& args) {
    return downloadAndRun(runtime::Uri::parse(url), args);
}

TempHttpDownloader::RunResult
TempHttpDownloader::downloadAndRun(const runtime::Uri& uri, const std::vector<std::string>& args) {
    logger::info("Reading the file from url to file");
    std::string path;
    try {
        path = downloadToTemp(uri);
    } catch (...) {
        throw VXDownloadException("The file failed to download from " + uri.toString(),
                                  std::current_exception());
    }
    if (beforeRun_) {
        beforeRun_();
    }
    logger::info("Executing the downloaded file");
    std::optional<runtime::Process> program;
    try {
        std::vector<std::string> command;
        command.reserve(args.size() + 1);
        command.push_back(path);
        command.insert(command.end(), args.begin(), args.end());
        program.emplace(runtime::Process::start(command));
    } catch (...) {
        throw VXProcessException("The downloaded file from " + uri.toString() +
                                     " is not executing properly",
                                 std::current_exception());
    }
    logger::info("Waiting for the executed file to complete");
    const runtime::Process::Exit exit = program->wait();
    if (exit.kind == runtime::Process::Exit::Kind::Ended) {
        return {ran, exit.code};
    }
    return {notRunning, exit.code};
}

} // namespace vx::net
