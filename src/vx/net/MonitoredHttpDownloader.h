// An HttpDownloader that reports how far each download has come. Every response body
// is read through a MonitoredInputStream, which hands (bytes so far, expected total)
// to the progress handler after each read that delivered data. Requests, errors and
// what is left after a failure are those of HttpDownloader.
//
// The handler runs on the downloading thread, between two reads: a slow handler slows
// the download, and an error it throws ends the download like any failure of the copy
// (see HttpDownloader). It cannot stop the transfer otherwise.
#pragma once

#include "runtime/http/Client.h"
#include "runtime/http/Response.h"
#include "vx/net/http/HttpDownloader.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace vx::net {

// (bytes read so far, expected length or -1 when the response gave none). Both
// counters stop at 2^31 - 1 rather than wrap.
using ProgressHandler = std::function<void(std::int32_t bytesRead, std::int32_t contentLength)>;

// Passes every read through to the body it wraps, which it borrows: the body must
// outlive it. The handler (may be empty) is called once per read that delivered data,
// never at the end of data; the last call therefore carries the whole body's length.
class MonitoredInputStream : public runtime::http::BodyStream {
public:
    MonitoredInputStream(runtime::http::BodyStream& source, const runtime::http::Headers& headers,
                         ProgressHandler progressHandler);

    std::size_t read(char* buffer, std::size_t size) override;
    void close() noexcept override { source_.close(); }

    std::int32_t bytesRead() const noexcept { return bytesRead_; }
    std::int32_t contentLength() const noexcept { return contentLength_; }

private:
    runtime::http::BodyStream& source_;
    std::int32_t contentLength_;
    std::int32_t bytesRead_ = 0;
    ProgressHandler progressHandler_;
};

// Like HttpDownloader, may be shared by threads; each download uses the handler that
// was set when its request was opened.
class MonitoredHttpDownloader : public http::HttpDownloader {
public:
    // Without a handler it downloads exactly as HttpDownloader.
    MonitoredHttpDownloader() = default;
    explicit MonitoredHttpDownloader(ProgressHandler progressHandler);

    // Replaces the handler (empty: none) for the requests opened from now on.
    virtual void setProgressHandler(ProgressHandler progressHandler);

protected:
    std::unique_ptr<runtime::http::BodyStream>
    wrapStream(runtime::http::BodyStream& body, const runtime::http::Headers& headers) override;

private:
    std::mutex mutex_; // guards progressHandler_
    ProgressHandler progressHandler_;
};

} // namespace vx::net
