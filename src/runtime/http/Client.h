// Our HTTP/1.1 client: one GET request to an absolute http URI, on a connection of its
// own that closes after the response.
//
// open() sends the request and reads the status line and headers, following redirects
// (301, 302, 303, 307, 308) itself, at most maxRedirects of them and never to a URL
// it has already asked for. The body is then read in pieces through body(); memory
// stays within a fixed buffer whatever the body's size. The time-out bounds the
// connecting and each single wait for data, not the whole transfer.
//
// Errors are runtime::Exception. After open() or a body read has failed, the request
// is spent: close() it. Not thread-safe: one thread uses a request and its body.
#pragma once

#include "runtime/Uri.h"
#include "runtime/http/Response.h"
#include "runtime/net/Socket.h"

#include <cstddef>
#include <memory>
#include <string>

namespace runtime::http {

// The body of a response, read in pieces. Owned by its request and valid as long as it.
class BodyStream {
public:
    virtual ~BodyStream() = default;
    // Copies up to `size` bytes of the body into `buffer`; returns 0 only at the end of
    // the body. Throws when the connection fails, times out, or closes before the body
    // is whole (a short body is never taken for a complete one), or when the body is
    // malformed; the bytes before a malformed part are read first.
    virtual std::size_t read(char* buffer, std::size_t size) = 0;
    // Ends reading; further reads return 0.
    virtual void close() noexcept = 0;
};

class HttpGet : private BodyStream {
public:
    static constexpr int maxRedirects = 10;

    explicit HttpGet(Uri uri);
    HttpGet(const HttpGet&) = delete;
    HttpGet& operator=(const HttpGet&) = delete;

    // Seconds to wait for a connection and for each read; 30 unless set. Takes effect
    // for what follows the call.
    void setTimeout(float seconds) noexcept { timeout_ = seconds; }
    float timeout() const noexcept { return timeout_; }

    // The URI asked for first.
    const Uri& uri() const noexcept { return uri_; }
    // The URI of the final response: uri() unless redirected.
    const Uri& finalUri() const noexcept { return current_; }

    // Sends the request and reads the final response's head. Call once. Throws for a
    // connection failure or time-out, a malformed response, a redirect loop, too many
    // redirects, or a redirect to something that is not an http URL.
    void open();

    // Valid after open() has returned.
    int status() const noexcept { return parser_.status(); }
    const std::string& reason() const noexcept { return parser_.reason(); }
    const Headers& headers() const noexcept { return parser_.headers(); }
    BodyStream& body() noexcept { return *this; }

    // Closes the connection; safe to call at any time, and again.
    void close() noexcept override;

private:
    std::size_t read(char* buffer, std::size_t size) override;

    void sendRequest();
    // Reads until the head is whole; body bytes that came with it wait in pending_.
    void readHead();
    // Receives once and feeds the parser; false when the connection had closed. A
    // malformed body is kept in bodyError_ for read() to throw once pending_ is read.
    bool receiveMore();

    Uri uri_;
    Uri current_;
    float timeout_ = 30.0f;
    bool opened_ = false;
    net::Socket socket_;
    ResponseParser parser_;
    // Body bytes parsed but not yet read; never more than one buffer's worth.
    std::string pending_;
    std::size_t pendingAt_ = 0;
    std::string bodyError_;
    bool ended_ = false;
    // Each receive fills at most this much. Large enough that a fast local transfer is
    // not held back by the number of system calls; on the heap, as requests may live on
    // a thread's stack.
    static constexpr std::size_t receiveSize = 64 * 1024;
    std::unique_ptr<char[]> buffer_ = std::make_unique<char[]>(receiveSize);
};

} // namespace runtime::http
