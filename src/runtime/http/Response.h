// Reading an HTTP/1.1 response as its bytes arrive: the status line, the headers and
// the framing of the body (Content-Length, chunked transfer coding, or to the end of
// the connection). The parser knows nothing of sockets: the caller feeds it whatever
// it has read and tells it when the connection has closed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace runtime::http {

// Response headers in the order received. Names compare without regard to case.
class Headers {
public:
    void add(std::string name, std::string value);

    // The first value of `name`, or nullptr. The pointer lives as long as this object
    // is not changed.
    const std::string* find(std::string_view name) const;
    // Every value of `name`, in order.
    std::vector<std::string> findAll(std::string_view name) const;
    // The value of `name` read as a non-negative decimal integer; `defaultValue` when
    // the header is absent or its first value is not such a number.
    std::int64_t getInt(std::string_view name, std::int64_t defaultValue = -1) const;

    const std::vector<std::pair<std::string, std::string>>& entries() const noexcept {
        return entries_;
    }

private:
    friend class ResponseParser;
    std::vector<std::pair<std::string, std::string>> entries_;
};

// The status line and header block, the body excluded, may take at most this many
// bytes (interim 1xx heads included); a larger head is an error rather than a memory
// sink. A chunk size line and a chunked body's trailer block have the same cap.
inline constexpr std::size_t maxHeadSize = 64 * 1024;

// One response of a GET request on a connection that closes after it. Interim 1xx
// responses before the final one are skipped. Bytes after a complete body are
// ignored.
//
// Errors are runtime::Exception with a message saying what was malformed. After an
// error the parser is spent: every further call throws again. Not thread-safe; one
// reader feeds it.
class ResponseParser {
public:
    enum class Progress {
        NeedMore, // the response is not complete yet: feed more, or finish()
        Complete, // the whole body has been delivered
    };

    // Consumes `bytes` and appends the body bytes among them to `body` (never more
    // than bytes.size(), so a caller with a fixed read buffer stays within it).
    // Throws for a malformed response; `body` may then already hold the body bytes
    // that came before the fault in this call.
    Progress feed(std::string_view bytes, std::string& body);

    // The connection has closed. Returns normally when the response is complete (a
    // body without a length ends here); throws when the head or the body broke off,
    // so a short body is never taken for a whole one.
    void finish();

    bool headComplete() const noexcept { return headDone_; }
    bool complete() const noexcept { return state_ == State::Done; }

    // Valid once headComplete().
    int status() const noexcept { return status_; }
    const std::string& reason() const noexcept { return reason_; }
    const Headers& headers() const noexcept { return headers_; }
    // The body length the head announced: Content-Length, 0 for a status without a
    // body, -1 for chunked or to-the-end bodies.
    std::int64_t contentLength() const noexcept { return contentLength_; }

private:
    enum class State {
        StatusLine,
        HeaderLines,
        LengthBody,
        ChunkSize,
        ChunkData,
        ChunkDataEnd,
        Trailers,
        UntilClose,
        Done,
        Failed,
    };

    [[noreturn]] void fail(const std::string& message);
    bool takeLine(std::string_view& bytes, std::size_t& used, const char* what);
    void parseStatusLine();
    void parseHeaderLine();
    void startBody();
    void chooseFraming();
    void parseChunkSize();

    State state_ = State::StatusLine;
    std::string line_;
    bool lineHadCr_ = false;
    std::size_t headBytes_ = 0;
    std::size_t trailerBytes_ = 0;
    std::size_t chunkLineBytes_ = 0;
    bool headDone_ = false;
    int status_ = 0;
    std::string reason_;
    Headers headers_;
    std::int64_t contentLength_ = -1;
    std::int64_t remaining_ = 0; // of the body or of the current chunk
    std::int64_t received_ = 0;  // body bytes so far, for error messages
    std::string error_;
};

} // namespace runtime::http
