// What callers of the download layer hold: a URL turned into bytes in memory, a file
// on disk, or data copied into a stream. Each call makes its own request and finishes
// it before returning; a call blocks the calling thread until the transfer ends.
#pragma once

#include "runtime/Uri.h"

#include <ostream>
#include <string>

namespace vx::net::model {

class IDownloader {
public:
    virtual ~IDownloader() = default;

    // The whole body of a 200 response; empty for any other status. A text URL that
    // does not parse throws runtime::Exception.
    virtual std::string getContent(const std::string& url) = 0;
    virtual std::string getContent(const runtime::Uri& uri) = 0;

    // Stores the body of a 200 response in the file `path` (UTF-8), creating its
    // folder chain. Any other status leaves the file as it was. After a failure the
    // earlier file (or none) is still there.
    virtual void downloadToFile(const std::string& url, const std::string& path) = 0;
    virtual void downloadToFile(const runtime::Uri& uri, const std::string& path) = 0;

    // Copies the body of a 200 response into `output`, which the caller owns and
    // closes. After a failure `output` may hold part of the body.
    virtual void copyTo(const std::string& url, std::ostream& output) = 0;
    virtual void copyTo(const runtime::Uri& uri, std::ostream& output) = 0;
};

} // namespace vx::net::model
