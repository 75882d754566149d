// An absolute http URI: http://host[:port]/path?query.
//
// Only what the program's HTTP client can fetch parses: the http scheme (any case),
// a host name or IPv4 literal, an optional port 1..65535 (80 when absent), a path
// (default "/") and a query. Anything else (other schemes, user information, an empty
// host, a bad port, spaces, control or non-ASCII characters) fails with a
// runtime::Exception whose message names the URL. A fragment is dropped: it is never
// sent to a server. A Uri is a plain value: copyable and safe to share for reading.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace runtime {

class Uri {
public:
    // Throws runtime::Exception for text that is not an absolute http URL.
    static Uri parse(std::string_view text);

    const std::string& host() const noexcept { return host_; }
    std::uint16_t port() const noexcept { return port_; }
    // Always begins with "/".
    const std::string& path() const noexcept { return path_; }
    // Without the "?"; hasQuery() tells "/p?" from "/p".
    const std::string& query() const noexcept { return query_; }
    bool hasQuery() const noexcept { return hasQuery_; }

    // What goes on the request line: path plus "?query" when there is one.
    std::string requestTarget() const;
    // The Host header's value: the host, with ":port" unless the port is 80.
    std::string authority() const;
    // "http://" + authority() + requestTarget(); parse(toString()) gives an equal Uri.
    std::string toString() const;

    // The target of a redirect: `location` (a Location header value) resolved against
    // this URI. Accepts an absolute http URL, "//host/...", an absolute path, a
    // relative path (with "." and ".." segments), a query alone ("?q") and an empty
    // reference. Throws runtime::Exception when the result is not a valid http URI.
    Uri resolve(std::string_view location) const;

    friend bool operator==(const Uri&, const Uri&) = default;

private:
    Uri() = default;

    std::string host_;
    std::uint16_t port_ = 80;
    std::string path_ = "/";
    std::string query_;
    bool hasQuery_ = false;
};

} // namespace runtime
