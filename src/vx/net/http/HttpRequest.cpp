#include "vx/net/http/HttpRequest.h"

#include "vx/logger.h"

#include <utility>

namespace vx::net::http {

namespace {

// The creation lines come before the base request exists, so they are written while
// its argument is prepared.
runtime::Uri announced(runtime::Uri uri) {
    logger::info("Create httpget");
    logger::info(uri.toString().c_str());
    return uri;
}

} // namespace

HttpRequest::HttpRequest(runtime::Uri uri, float timeout) : HttpGet(announced(std::move(uri))) {
    logger::info("Set timeout");
    setTimeout(timeout);
}

} // namespace vx::net::http
