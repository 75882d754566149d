// Fuzz target for the HTTP client: the input is a server's whole answer to one GET.
//
// Two readers take it, and must agree:
//  - ResponseParser, fed all at once and again cut at a few places that the input's own
//    hash chooses (a socket may split an answer anywhere): status, headers, body,
//    completeness and error text must not depend on the cuts.
//  - HttpGet itself, over a loopback connection to a server thread of this target that
//    reads the request, sends the input and closes. It reads the body to its end through
//    a small fixed buffer. A redirect is followed only when it stays on this server, where
//    it meets the same answer again and must end in an error (loop or too many).
//
// Any runtime::Exception is a fair answer to bad bytes. A crash, a hang, memory out of
// proportion to the input, or readers that disagree abort, so that the fuzzer reports it.
#include "runtime/Exception.h"
#include "runtime/Uri.h"
#include "runtime/http/Client.h"
#include "runtime/http/Response.h"
#include "support/Fd.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

// The sanitizer runtime's count of live heap bytes (ASan in both the fuzz and the replay
// build). Declared here, weak, because GCC ships no header for it.
extern "C" __attribute__((weak)) std::size_t __sanitizer_get_current_allocated_bytes();

namespace {

using runtime::Uri;
using runtime::http::HttpGet;
using runtime::http::ResponseParser;

[[noreturn]] void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "fuzz_http: %s\n%s\n", what, detail.c_str());
    std::abort();
}

void check(bool condition, const char* what, const std::string& detail = {}) {
    if (!condition) {
        fail(what, detail);
    }
}

// The parsed answer may take this many bytes per input byte plus a fixed allowance: a
// head of three-byte header lines ("a:\n") costs a vector entry and two strings each.
constexpr std::size_t kBytesPerInputByte = 64;
constexpr std::size_t kFixedBytes = 64 * 1024;

std::size_t allocatedBytes() {
    return __sanitizer_get_current_allocated_bytes != nullptr
               ? __sanitizer_get_current_allocated_bytes()
               : 0;
}

// FNV-1a: cut points and read sizes follow the input, so the fuzzer can steer them and
// a saved input replays the same way.
std::uint64_t hashOf(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

// What a reader of one connection ends up with.
struct Outcome {
    bool headComplete = false;
    int status = 0;
    std::vector<std::pair<std::string, std::string>> headers;
    std::int64_t contentLength = 0;
    std::string body;
    bool complete = false; // the end was seen before the connection closed
    bool failed = false;
    std::string error;

    std::string describe() const {
        return "head " + std::to_string(headComplete) + ", status " + std::to_string(status) +
               ", " + std::to_string(headers.size()) + " headers, length " +
               std::to_string(contentLength) + ", body of " + std::to_string(body.size()) +
               " bytes, complete " + std::to_string(complete) + ", error \"" + error + "\"";
    }
};

bool sameAnswer(const Outcome& a, const Outcome& b) {
    return a.headComplete == b.headComplete && a.status == b.status && a.headers == b.headers &&
           a.contentLength == b.contentLength && a.body == b.body && a.complete == b.complete &&
           a.failed == b.failed && a.error == b.error;
}

// Feeds `input` cut at `cuts` (ascending offsets), then closes. Pieces after the end are
// still fed: they must change nothing.
Outcome parse(std::string_view input, const std::vector<std::size_t>& cuts) {
    ResponseParser parser;
    Outcome outcome;
    try {
        std::size_t at = 0;
        for (std::size_t i = 0; i <= cuts.size(); ++i) {
            const std::size_t end = i < cuts.size() ? cuts[i] : input.size();
            const std::string_view piece = input.substr(at, end - at);
            at = end;
            const std::size_t before = outcome.body.size();
            const bool wasComplete = parser.complete();
            const bool done =
                parser.feed(piece, outcome.body) == ResponseParser::Progress::Complete;
            check(outcome.body.size() - before <= piece.size(),
                  "one feed gave more body bytes than it was given");
            check(!wasComplete || outcome.body.size() == before,
                  "bytes after the end were taken as body");
            check(done == parser.complete(), "feed's answer and complete() disagree");
            outcome.complete = outcome.complete || done;
        }
        parser.finish();
        check(parser.complete(), "finish() returned on an incomplete response");
    } catch (const runtime::Exception& e) {
        outcome.failed = true;
        outcome.error = e.message();
        // A spent parser stays spent, with the same message.
        try {
            std::string ignored;
            parser.feed("x", ignored);
            fail("a failed parser took more bytes", outcome.error);
        } catch (const runtime::Exception& again) {
            check(again.message() == outcome.error, "a failed parser changed its error",
                  outcome.error + "\n" + again.message());
        }
    }
    outcome.headComplete = parser.headComplete();
    if (outcome.headComplete) {
        outcome.status = parser.status();
        outcome.headers = parser.headers().entries();
        outcome.contentLength = parser.contentLength();
        check(outcome.status >= 100 && outcome.status <= 599, "status out of range");
        check(parser.contentLength() < 0 || outcome.failed ||
                  static_cast<std::int64_t>(outcome.body.size()) == parser.contentLength(),
              "a whole body of the wrong length", outcome.describe());
    }
    check(outcome.body.size() <= input.size(), "more body than input");
    return outcome;
}

std::vector<std::size_t> cutsFor(std::size_t size, std::uint64_t hash) {
    std::vector<std::size_t> cuts;
    for (int i = 0; i < 3; ++i) {
        cuts.push_back(static_cast<std::size_t>(hash % (size + 1)));
        hash = hash / (size + 1) + hash * 0x9e3779b97f4a7c15ull;
    }
    std::sort(cuts.begin(), cuts.end());
    return cuts;
}

std::vector<std::size_t> everyNBytes(std::size_t size, std::size_t n) {
    std::vector<std::size_t> cuts;
    for (std::size_t at = n; at < size; at += n) {
        cuts.push_back(at);
    }
    return cuts;
}

using testing_support::Fd;

// Listens on 127.0.0.1 for the whole run. One thread, started once (a thread per input
// costs more than the input under the sanitizers), answers every connection made during
// serveDuring() with that call's answer until told to stop through a pipe.
class Server {
public:
    Server() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        int pipeFds[2];
        check(listener_.value >= 0 &&
                  ::bind(listener_.value, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                  ::listen(listener_.value, 16) == 0 &&
                  ::getsockname(listener_.value, reinterpret_cast<sockaddr*>(&address), &length) ==
                      0 &&
                  ::pipe(pipeFds) == 0,
              "cannot set up the loopback server");
        stopRead_.value = pipeFds[0];
        stopWrite_.value = pipeFds[1];
        port_ = ntohs(address.sin_port);
        // The server lives as long as the process, so its thread is never joined.
        std::thread([this] { run(); }).detach();
    }

    std::uint16_t port() const { return port_; }

    // Answers connections with `answer` while `client` runs; returns once the server has
    // let go of `answer`.
    template <class Client> void serveDuring(std::string_view answer, Client&& client) {
        {
            std::lock_guard lock(mutex_);
            answer_ = answer;
            busy_ = true;
        }
        changed_.notify_all();
        client();
        char stop = 's';
        check(::write(stopWrite_.value, &stop, 1) == 1, "cannot stop the server");
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !busy_; });
    }

private:
    void run() {
        for (;;) {
            std::string_view answer;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return busy_; });
                answer = answer_;
            }
            serve(answer);
            char stop = 0;
            check(::read(stopRead_.value, &stop, 1) == 1, "cannot reset the server");
            {
                std::lock_guard lock(mutex_);
                busy_ = false;
            }
            changed_.notify_all();
        }
    }

    void serve(std::string_view answer) {
        std::array<pollfd, 2> waits{{{listener_.value, POLLIN, 0}, {stopRead_.value, POLLIN, 0}}};
        for (;;) {
            // libFuzzer's timer signal may land on this thread: an interrupted call is
            // repeated, never taken for a closed connection.
            if (::poll(waits.data(), waits.size(), -1) < 0) {
                check(errno == EINTR, "the server cannot wait");
                continue;
            }
            if ((waits[1].revents & POLLIN) != 0) {
                return;
            }
            if ((waits[0].revents & POLLIN) != 0) {
                Fd connection(::accept(listener_.value, nullptr, nullptr));
                if (connection.value >= 0) {
                    answerOne(connection.value, answer);
                }
            }
        }
    }

    // Reads the request head first: closing with unread bytes would reset the connection
    // and could take the answer with it.
    static void answerOne(int fd, std::string_view answer) {
        const timeval limit{5, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        std::string head;
        char buffer[4096];
        while (head.find("\r\n\r\n") == std::string::npos) {
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return;
            }
            head.append(buffer, static_cast<std::size_t>(got));
        }
        // The client may stop reading and close early; the send then just fails.
        while (!answer.empty()) {
            const ssize_t sent = ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR) {
                continue;
            }
            if (sent <= 0) {
                return;
            }
            answer.remove_prefix(static_cast<std::size_t>(sent));
        }
    }

    Fd listener_{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    Fd stopRead_{-1};
    Fd stopWrite_{-1};
    std::uint16_t port_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string_view answer_; // valid while busy_
    bool busy_ = false;
};

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Fetches through HttpGet what `server` answers, reading the body `readSize` bytes at
// a time. Only the status, headers, body and error are filled in.
Outcome fetch(Server& server, const Uri& start, std::string_view answer, std::size_t readSize) {
    Outcome outcome;
    server.serveDuring(answer, [&] {
        HttpGet request(start);
        request.setTimeout(5.0f);
        std::vector<char> buffer(readSize);
        try {
            request.open();
            outcome.headComplete = true;
            outcome.status = request.status();
            outcome.headers = request.headers().entries();
            while (const std::size_t got = request.body().read(buffer.data(), buffer.size())) {
                check(got <= buffer.size(), "read past the buffer");
                outcome.body.append(buffer.data(), got);
                check(outcome.body.size() <= answer.size(), "more body than answer");
            }
            outcome.complete = true;
            check(request.body().read(buffer.data(), buffer.size()) == 0,
                  "the end of the body did not stay the end");
        } catch (const runtime::Exception& e) {
            outcome.failed = true;
            outcome.error = e.message();
        }
        request.close();
    });
    return outcome;
}

// The client against the parser's reading of the same bytes.
void compareClient(const Outcome& parsed, const Outcome& fetched, bool redirected) {
    const std::string detail = "parser: " + parsed.describe() + "\nclient: " + fetched.describe();
    if (redirected) {
        // Every hop meets the same answer: the chain can only end in an error.
        check(fetched.failed && !fetched.headComplete, "a redirect chain ended without an error",
              detail);
        return;
    }
    check(fetched.headComplete == parsed.headComplete, "client and parser disagree on the head",
          detail);
    if (!parsed.headComplete) {
        return;
    }
    check(fetched.status == parsed.status && fetched.headers == parsed.headers,
          "client and parser disagree on status or headers", detail);
    check(fetched.failed == parsed.failed, "client and parser disagree on success", detail);
    // Also on a failure: the client hands out every body byte before the fault.
    check(fetched.body == parsed.body, "client and parser disagree on the body", detail);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::uint64_t hash = hashOf(input);

    const std::size_t before = allocatedBytes();
    const Outcome whole = parse(input, {});
    const std::size_t after = allocatedBytes();
    if (after > before && after - before > kBytesPerInputByte * size + kFixedBytes) {
        fail("the parsed answer takes more memory than the input warrants",
             std::to_string(after - before) + " bytes for " + std::to_string(size) +
                 " input bytes");
    }

    std::vector<std::vector<std::size_t>> splits{cutsFor(size, hash), everyNBytes(size, 16 * 1024)};
    if (size <= 4096) {
        splits.push_back(everyNBytes(size, 1 + hash % 7));
    }
    for (const auto& cuts : splits) {
        const Outcome cut = parse(input, cuts);
        if (!sameAnswer(whole, cut)) {
            fail("the answer depends on how it was cut",
                 "whole: " + whole.describe() + "\ncut:   " + cut.describe());
        }
    }

    // Leaked on purpose: the listener serves the whole run.
    static Server& server = *new Server();
    const Uri start = Uri::parse("http://127.0.0.1:" + std::to_string(server.port()) + "/start");
    bool redirected = false;
    if (whole.headComplete && isRedirect(whole.status)) {
        const auto location =
            std::find_if(whole.headers.begin(), whole.headers.end(), [](const auto& header) {
                return header.first.size() == 8 &&
                       std::equal(header.first.begin(), header.first.end(), "location",
                                  [](char a, char b) { return (a | 0x20) == b; });
            });
        if (location != whole.headers.end()) {
            std::optional<Uri> next;
            try {
                next = start.resolve(location->second);
            } catch (const runtime::Exception&) {
                // The client fails on it without connecting anywhere.
            }
            // Anywhere but back here is out of bounds for a fuzz run.
            if (next && (next->host() != "127.0.0.1" || next->port() != server.port())) {
                return 0;
            }
            redirected = true;
        }
    }
    const std::size_t readSize = 1 + (hash >> 32) % 8192;
    compareClient(whole, fetch(server, start, input, readSize), redirected);
    return 0;
}
