#include "runtime/http/Response.h"

#include "runtime/Exception.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

using runtime::http::maxHeadSize;
using runtime::http::ResponseParser;

// What a reader of one connection ends up with.
struct Outcome {
    int status = 0;
    std::string body;
    bool completeBeforeClose = false; // the parser saw the end without finish()
    std::string error;                // empty when the response was read whole

    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
    return out << "{status " << o.status << ", body \"" << o.body << "\", complete "
               << o.completeBeforeClose << ", error \"" << o.error << "\"}";
}

// Feeds `wire` in pieces of `piece` bytes, as a socket might deliver it, then closes.
Outcome read(std::string_view wire, std::size_t piece) {
    ResponseParser parser;
    Outcome outcome;
    try {
        for (std::size_t at = 0; at < wire.size() && !outcome.completeBeforeClose; at += piece) {
            const std::string_view bytes = wire.substr(at, piece);
            const std::size_t before = outcome.body.size();
            outcome.completeBeforeClose =
                parser.feed(bytes, outcome.body) == ResponseParser::Progress::Complete;
            EXPECT_LE(outcome.body.size() - before, bytes.size());
        }
        parser.finish();
        EXPECT_TRUE(parser.complete());
    } catch (const runtime::Exception& e) {
        outcome.error = e.what();
    }
    outcome.status = parser.headComplete() ? parser.status() : 0;
    return outcome;
}

struct Case {
    const char* name;
    std::string wire;
    int status;
    std::string body;
    bool completeBeforeClose;
};

// The same bytes must give the same result however the network splits them.
void checkAllSplits(const Case& c, const std::string& expectedError) {
    SCOPED_TRACE(c.name);
    const Outcome whole = read(c.wire, c.wire.size() + 1);
    EXPECT_EQ(whole.status, c.status);
    EXPECT_EQ(whole.body, c.body);
    EXPECT_EQ(whole.completeBeforeClose, c.completeBeforeClose);
    if (expectedError.empty()) {
        EXPECT_EQ(whole.error, "");
    } else {
        EXPECT_NE(whole.error.find(expectedError), std::string::npos) << whole.error;
    }
    EXPECT_EQ(read(c.wire, 1), whole);
    EXPECT_EQ(read(c.wire, 3), whole);
}

TEST(HttpResponse, FramesBodiesTheSameWhateverTheSplit) {
    const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    const Case cases[] = {
        {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", 200, "hello", true},
        {"zero length", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", 200, "", true},
        {"bytes past the length are not body", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhello",
         200, "he", true},
        {"equal duplicate lengths",
         "HTTP/1.1 200 OK\r\nContent-Length: 3\r\ncontent-length: 3\r\n\r\nabc", 200, "abc", true},
        {"chunked with extensions and trailers",
         chunked + "5;name=value\r\nhello\r\nA \r\n0123456789\r\n1f ; x\r\n" +
             std::string(31, 'z') + "\r\n0\r\nX-Trailer: 1\r\nY: 2\r\n\r\n",
         200, "hello0123456789" + std::string(31, 'z'), true},
        {"chunked with an empty body", chunked + "0\r\n\r\n", 200, "", true},
        {"chunked wins over a length",
         "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nTransfer-Encoding: identity, Chunked\r\n\r\n"
         "3\r\nabc\r\n0\r\n\r\n",
         200, "abc", true},
        {"to the end of the connection", "HTTP/1.0 200 OK\r\nServer: x\r\n\r\nall of\r\nit", 200,
         "all of\r\nit", false},
        {"no body for 204", "HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\n", 204, "", true},
        {"no body for 304", "HTTP/1.1 304 Not Modified\r\nTransfer-Encoding: chunked\r\n\r\n", 304,
         "", true},
        {"interim answers are skipped",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: x\r\n\r\n"
         "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
         200, "ok", true},
        {"bare line feeds", "HTTP/1.1 200 OK\nContent-Length: 2\n\nok", 200, "ok", true},
        {"no reason phrase", "HTTP/1.1 404\r\nContent-Length: 1\r\n\r\nx", 404, "x", true},
    };
    for (const Case& c : cases) {
        checkAllSplits(c, "");
    }
}

TEST(HttpResponse, MalformedOrBrokenOffAnswersFailSayingWhy) {
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    const std::string chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
    struct ErrorCase {
        Case c;
        const char* error;
    };
    const ErrorCase cases[] = {
        // Short bodies are failures, never a short success.
        {{"body shorter than its length", ok + "Content-Length: 10\r\n\r\nhello", 200, "hello",
          false},
         "closed after 5 of 10 body bytes"},
        {{"chunk broken off", chunked + "a\r\nhello", 200, "hello", false},
         "inside a chunked body after 5 body bytes"},
        {{"no last chunk", chunked + "5\r\nhello\r\n", 200, "hello", false},
         "inside a chunked body"},
        {{"size line broken off", chunked + "5", 200, "", false}, "inside a chunked body"},
        {{"trailers broken off", chunked + "0\r\nX: 1\r\n", 200, "", false},
         "inside a chunked body"},
        {{"nothing at all", "", 0, "", false}, "closed before a response arrived"},
        {{"head broken off", ok + "Content-Le", 0, "", false},
         "closed before the end of the response head"},
        // Lengths.
        {{"negative length", ok + "Content-Length: -1\r\n\r\n", 0, "", false},
         "Malformed Content-Length \"-1\""},
        {{"non-digit length", ok + "Content-Length: 12abc\r\n\r\n", 0, "", false},
         "Malformed Content-Length \"12abc\""},
        {{"empty length", ok + "Content-Length:\r\n\r\n", 0, "", false},
         "Malformed Content-Length \"\""},
        {{"length list", ok + "Content-Length: 5, 5\r\n\r\n", 0, "", false},
         "Malformed Content-Length"},
        {{"overflowing length", ok + "Content-Length: 9223372036854775808\r\n\r\n", 0, "", false},
         "Content-Length \"9223372036854775808\" is too large"},
        {{"conflicting lengths", ok + "Content-Length: 5\r\nContent-Length: 6\r\n\r\nhello!", 0, "",
          false},
         "Conflicting Content-Length values 5 and 6"},
        // Chunk sizes.
        {{"overflowing chunk size", chunked + "8000000000000000\r\n", 200, "", false},
         "Chunk size \"8000000000000000\" is too large"},
        {{"very long chunk size", chunked + std::string(40, 'f') + "\r\n", 200, "", false},
         "too large"},
        {{"non-hex chunk size", chunked + "zz\r\n", 200, "", false},
         "Malformed chunk size line \"zz\""},
        {{"negative chunk size", chunked + "-5\r\n", 200, "", false}, "Malformed chunk size line"},
        {{"empty chunk size", chunked + "\r\n", 200, "", false}, "Malformed chunk size line"},
        {{"chunk longer than its size", chunked + "3\r\nhello\r\n0\r\n\r\n", 200, "hel", false},
         "Chunk data is longer than its size"},
        {{"unsupported coding", ok + "Transfer-Encoding: gzip\r\n\r\n", 0, "", false},
         "Unsupported transfer coding \"gzip\""},
        {{"chunked not last", ok + "Transfer-Encoding: chunked, gzip\r\n\r\n", 0, "", false},
         "Unsupported transfer coding \"chunked\""},
        // Status lines.
        {{"version 2", "HTTP/2 200 OK\r\n\r\n", 0, "", false}, "Malformed status line"},
        {{"two-digit code", "HTTP/1.1 20 OK\r\n\r\n", 0, "", false}, "Malformed status line"},
        {{"no space after code", "HTTP/1.1 200OK\r\n\r\n", 0, "", false},
         "Malformed status line \"HTTP/1.1 200OK\""},
        {{"not HTTP", "ICY 200 OK\r\n\r\n", 0, "", false}, "Malformed status line"},
        {{"code below 100", "HTTP/1.1 099 Low\r\n\r\n", 0, "", false}, "Status code out of range"},
        {{"binary garbage", std::string("\x16\x03\x01\x00\n", 5), 0, "", false},
         "Malformed status line \"\\x16\\x03\\x01\\x00\""},
        // Header lines.
        {{"no colon", ok + "NoColonHere\r\n\r\n", 0, "", false},
         "Malformed header line \"NoColonHere\""},
        {{"blank in name", ok + "Bad Name: x\r\n\r\n", 0, "", false}, "Malformed header line"},
        {{"empty name", ok + ": x\r\n\r\n", 0, "", false}, "Malformed header line"},
        {{"control in value",
          ok + "X: a\x01"
               "b\r\n\r\n",
          0, "", false},
         "Control character in header line"},
        {{"continuation first", ok + " folded\r\n\r\n", 0, "", false},
         "Continuation line without a header"},
    };
    for (const ErrorCase& e : cases) {
        checkAllSplits(e.c, e.error);
    }
}

TEST(HttpResponse, HeadersAreFoundWithoutRegardToCase) {
    ResponseParser parser;
    std::string body;
    const std::string wire = "HTTP/1.1 301 Moved Permanently\r\n"
                             "LOCATION:   /next  \r\n"
                             "X-Folded: first\r\n"
                             "   second  \r\n"
                             "\tthird\r\n"
                             "Set-Cookie: a=1\r\n"
                             "set-cookie: b=2\r\n"
                             "X-Number: 12x\r\n"
                             "Content-Length: 0\r\n"
                             "\r\n";
    ASSERT_EQ(parser.feed(wire, body), ResponseParser::Progress::Complete);
    EXPECT_EQ(parser.status(), 301);
    EXPECT_EQ(parser.reason(), "Moved Permanently");
    const auto& headers = parser.headers();
    ASSERT_NE(headers.find("location"), nullptr);
    EXPECT_EQ(*headers.find("location"), "/next");
    EXPECT_EQ(*headers.find("x-folded"), "first second third");
    EXPECT_EQ(headers.findAll("SET-COOKIE"), (std::vector<std::string>{"a=1", "b=2"}));
    EXPECT_EQ(headers.find("Absent"), nullptr);

    EXPECT_EQ(headers.getInt("content-length"), 0);
    EXPECT_EQ(headers.getInt("Absent"), -1);
    EXPECT_EQ(headers.getInt("Absent", 7), 7);
    EXPECT_EQ(headers.getInt("X-Number"), -1);
    EXPECT_EQ(parser.contentLength(), 0);
}

TEST(HttpResponse, ContentLengthIsKnownBeforeTheBody) {
    ResponseParser parser;
    std::string body;
    EXPECT_EQ(parser.feed("HTTP/1.1 200 OK\r\nContent-Length: 6000000000\r\n\r\nab", body),
              ResponseParser::Progress::NeedMore);
    EXPECT_TRUE(parser.headComplete());
    EXPECT_EQ(parser.contentLength(), 6000000000);
    EXPECT_EQ(parser.headers().getInt("Content-Length"), 6000000000);
    EXPECT_EQ(body, "ab");
}

std::string headOfSize(std::size_t size) {
    std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nX-Pad: ";
    const std::string end = "\r\n\r\n";
    head += std::string(size - head.size() - end.size(), 'p');
    return head + end;
}

TEST(HttpResponse, HeadIsCappedAt64KiB) {
    ASSERT_EQ(maxHeadSize, 65536u);
    EXPECT_EQ(read(headOfSize(maxHeadSize), 4096).error, "");

    const std::string over = headOfSize(maxHeadSize + 1);
    for (std::size_t piece : {std::size_t{1}, std::size_t{4096}, over.size()}) {
        SCOPED_TRACE(piece);
        EXPECT_EQ(read(over, piece).error, "The response head is larger than 65536 bytes");
    }

    // A line that never ends fails as soon as it passes the cap, not when the
    // connection closes.
    ResponseParser parser;
    std::string body;
    const std::string endless(1024, 'a');
    EXPECT_THROW(
        {
            for (int i = 0; i < 100; ++i) {
                parser.feed(endless, body);
            }
        },
        runtime::Exception);

    // Interim answers count towards the same cap.
    std::string interims;
    while (interims.size() <= maxHeadSize) {
        interims += "HTTP/1.1 100 Continue\r\n\r\n";
    }
    EXPECT_EQ(read(interims + "HTTP/1.1 200 OK\r\n\r\n", 512).error,
              "The response head is larger than 65536 bytes");
}

TEST(HttpResponse, ChunkFramingLinesAreCappedToo) {
    const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    const std::string longExtension = "1;" + std::string(maxHeadSize, 'e') + "\r\nx\r\n0\r\n\r\n";
    EXPECT_EQ(read(chunked + longExtension, 1000).error,
              "The chunk size line is larger than 65536 bytes");

    std::string trailers = chunked + "0\r\n";
    while (trailers.size() < chunked.size() + maxHeadSize + 10) {
        trailers += "X-Trailer: some value\r\n";
    }
    EXPECT_EQ(read(trailers + "\r\n", 1000).error, "The trailer block is larger than 65536 bytes");

    // Many small chunks are fine: the cap is per line, not per body.
    std::string many = chunked;
    for (int i = 0; i < 20000; ++i) {
        many += "1;ext\r\nx\r\n";
    }
    const Outcome outcome = read(many + "0\r\n\r\n", 4096);
    EXPECT_EQ(outcome.error, "");
    EXPECT_EQ(outcome.body, std::string(20000, 'x'));
}

TEST(HttpResponse, AFailedParserStaysFailed) {
    ResponseParser parser;
    std::string body;
    EXPECT_THROW(parser.feed("HTTP/1.1 200 OK\r\nContent-Length: x\r\n\r\n", body),
                 runtime::Exception);
    try {
        parser.feed("HTTP/1.1 200 OK\r\n\r\n", body);
        ADD_FAILURE() << "fed after failing";
    } catch (const runtime::Exception& e) {
        EXPECT_STREQ(e.what(), "Malformed Content-Length \"x\"");
    }
    EXPECT_THROW(parser.finish(), runtime::Exception);
    EXPECT_FALSE(parser.complete());
    EXPECT_TRUE(body.empty());
}

} // namespace
