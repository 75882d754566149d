// The product's GET request: the runtime's client with the product's time-out and a
// log trail of its creation. Same ownership and thread rules as runtime::http::HttpGet.
#pragma once

#include "runtime/Uri.h"
#include "runtime/http/Client.h"

namespace vx::net::http {

class HttpRequest : public runtime::http::HttpGet {
public:
    static constexpr float defaultTimeout = 30.0f;

    explicit HttpRequest(runtime::Uri uri, float timeout = defaultTimeout);
};

} // namespace vx::net::http
