#include "vx/net/MonitoredHttpDownloader.h"

#include <limits>
#include <utility>

namespace vx::net {

namespace {

constexpr std::int64_t int32Max = std::numeric_limits<std::int32_t>::max();

std::int32_t capped(std::int64_t value) {
    return static_cast<std::int32_t>(value > int32Max ? int32Max : value);
}

} // namespace

MonitoredInputStream::MonitoredInputStream(runtime::http::BodyStream& source,
                                           const runtime::http::Headers& headers,
                                           ProgressHandler progressHandler)
    : source_(source), contentLength_(capped(headers.getInt("Content-Length", -1))),
      progressHandler_(std::move(progressHandler)) {}

std::size_t MonitoredInputStream::read(char* buffer, std::size_t size) {
    const std::size_t got = source_.read(buffer, size);
    if (got == 0) {
        return got;
    }
    // One read never delivers more than a buffer, far below the cap; the sum may pass it.
    bytesRead_ = capped(static_cast<std::int64_t>(bytesRead_) + static_cast<std::int64_t>(got));
    if (progressHandler_) {
        progressHandler_(bytesRead_, contentLength_);
    }
    return got;
}

MonitoredHttpDownloader::MonitoredHttpDownloader(ProgressHandler progressHandler) {
    setProgressHandler(std::move(progressHandler));
}

void MonitoredHttpDownloader::setProgressHandler(ProgressHandler progressHandler) {
    const std::lock_guard lock(mutex_);
    progressHandler_ = std::move(progressHandler);
}

std::unique_ptr<runtime::http::BodyStream>
MonitoredHttpDownloader::wrapStream(runtime::http::BodyStream& body,
                                    const runtime::http::Headers& headers) {
    ProgressHandler handler;
    {
        const std::lock_guard lock(mutex_);
        handler = progressHandler_;
    }
    return std::make_unique<MonitoredInputStream>(body, headers, std::move(handler));
}

} // namespace vx::net
