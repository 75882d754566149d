#include "runtime/http/Client.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace runtime::http {

namespace {

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

} // namespace

HttpGet::HttpGet(Uri uri) : uri_(uri), current_(std::move(uri)) {
    pending_.reserve(receiveSize);
}

void HttpGet::open() {
    if (opened_) {
        throw Exception(format("The request for {} is already open", uri_.toString()));
    }
    opened_ = true;
    std::vector<std::string> seen{current_.toString()};
    for (int redirects = 0;; ++redirects) {
        socket_ = net::Socket::connect(current_.host(), current_.port(), timeout_);
        sendRequest();
        readHead();
        const std::string* location = headers().find("Location");
        if (!isRedirect(status()) || location == nullptr) {
            return;
        }
        // The redirect's own body is of no interest; its connection goes with it.
        socket_.close();
        const Uri next = [&] {
            try {
                return current_.resolve(*location);
            } catch (const Exception& e) {
                throw Exception(
                    format("Bad redirect from {}: {}", current_.toString(), e.message()));
            }
        }();
        const std::string text = next.toString();
        if (std::find(seen.begin(), seen.end(), text) != seen.end()) {
            throw Exception(
                format("Redirect loop: {} redirects back to {}", current_.toString(), text));
        }
        if (redirects == maxRedirects) {
            throw Exception(
                format("Too many redirects (more than {}) from {}", maxRedirects, uri_.toString()));
        }
        seen.push_back(text);
        current_ = next;
        parser_ = ResponseParser();
        pending_.clear();
        pendingAt_ = 0;
        bodyError_.clear();
    }
}

void HttpGet::sendRequest() {
    const std::string request = format("GET {} HTTP/1.1\r\nHost: {}\r\nConnection: close\r\n"
                                       "User-Agent: BrivolaInstaller\r\n\r\n",
                                       current_.requestTarget(), current_.authority());
    socket_.sendAll(request, timeout_);
}

void HttpGet::readHead() {
    try {
        while (!parser_.headComplete()) {
            if (!receiveMore()) {
                parser_.finish(); // throws: the head broke off
            }
        }
    } catch (const Exception& e) {
        throw Exception(format("Bad response from {}: {}", current_.toString(), e.message()));
    }
}

bool HttpGet::receiveMore() {
    const std::size_t got = socket_.receive(buffer_.get(), receiveSize, timeout_);
    if (got == 0) {
        return false;
    }
    try {
        parser_.feed(std::string_view(buffer_.get(), got), pending_);
    } catch (const Exception& e) {
        if (!parser_.headComplete()) {
            throw;
        }
        // A fault in the body belongs to the body, also when it came in with the head:
        // the bytes before it are still read and the read after them fails, however the
        // network happened to split the answer.
        bodyError_ = format("Bad response from {}: {}", current_.toString(), e.message());
    }
    return true;
}

std::size_t HttpGet::read(char* buffer, std::size_t size) {
    if (!opened_ || size == 0) {
        return 0;
    }
    while (pendingAt_ == pending_.size()) {
        pending_.clear();
        pendingAt_ = 0;
        if (ended_ || parser_.complete()) {
            return 0;
        }
        if (!bodyError_.empty()) {
            throw Exception(bodyError_);
        }
        if (!receiveMore()) {
            ended_ = true;
            // Throws when the body is shorter than announced or a chunk broke off.
            try {
                parser_.finish();
            } catch (const Exception& e) {
                throw Exception(
                    format("Bad response from {}: {}", current_.toString(), e.message()));
            }
            return 0;
        }
    }
    const std::size_t n = std::min(size, pending_.size() - pendingAt_);
    std::memcpy(buffer, pending_.data() + pendingAt_, n);
    pendingAt_ += n;
    return n;
}

void HttpGet::close() noexcept {
    socket_.close();
    ended_ = true;
    pending_.clear();
    pendingAt_ = 0;
}

} // namespace runtime::http
