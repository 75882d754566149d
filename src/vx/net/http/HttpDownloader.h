// The product's downloader over HTTP. It holds no state: one object can be shared and
// used for many downloads, one after the other or from several threads at once. Each
// call runs on the calling thread and blocks it until the transfer ends or fails.
//
// Errors: a request that cannot be opened gives vx::VXDownloadException; a target file
// or folder that cannot be made or written gives vx::VXFileException; both carry the
// lower failure as their cause. A failure inside a caller's configure or handler
// reaches the caller unchanged. The request and its stream are closed before any call
// returns or throws.
#pragma once

#include "runtime/Uri.h"
#include "runtime/http/Client.h"
#include "runtime/http/Response.h"
#include "vx/net/http/HttpRequest.h"
#include "vx/net/model/IDownloader.h"

#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace vx::net::http {

class HttpDownloader : public model::IDownloader {
public:
    // Called with the request before it is sent.
    using Configure = std::function<void(HttpRequest&)>;
    // Called with the request and its (wrapped) body when the status is 200.
    using Handler = std::function<void(HttpRequest&, runtime::http::BodyStream&)>;

    std::string getContent(const std::string& url) override;
    // A body cut short throws the client's runtime::Exception, as does any other
    // failure of the client: nothing is wrapped here.
    std::string getContent(const runtime::Uri& uri) override;

    void downloadToFile(const std::string& url, const std::string& path) override;
    // The body goes to `path` + ".part" first and replaces `path` only once it is
    // whole; on a failure the part file is removed.
    void downloadToFile(const runtime::Uri& uri, const std::string& path) override;

    void copyTo(const std::string& url, std::ostream& output) override;
    void copyTo(const runtime::Uri& uri, std::ostream& output) override;

    // The request cycle under downloadToFile and copyTo. Either function may be empty.
    // A status other than 200 is not an error: the handler is just not called.
    virtual void performRequest(const runtime::Uri& uri, const Configure& configure,
                                const Handler& handler);

    virtual ~HttpDownloader() = default;

protected:
    // The stream the handler reads instead of `body`; here `body` itself, borrowed.
    // An override (progress reporting) returns its own stream over `body`. The result
    // is closed after the request and destroyed before it.
    virtual std::unique_ptr<runtime::http::BodyStream>
    wrapStream(runtime::http::BodyStream& body, const runtime::http::Headers& headers);

    // A new request with the default time-out; the caller owns it.
    virtual std::unique_ptr<HttpRequest> createRequest(const runtime::Uri& uri);
};

} // namespace vx::net::http
