// The HTTP client against the loopback test server.
#include "runtime/http/Client.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"
#include "support/LoopbackServer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using runtime::Uri;
using runtime::http::HttpGet;
using testing::HasSubstr;
using testing_support::boundSocket;
using testing_support::Fd;
using testing_support::TestServer;

struct Response {
    int status = 0;
    std::int64_t contentLength = 0;
    std::string body;
    std::string finalUrl;
};

// Opens a GET and reads its body in small pieces, so the stream is asked many times.
Response fetch(const std::string& url, float timeout = 5.0f) {
    HttpGet request(Uri::parse(url));
    request.setTimeout(timeout);
    request.open();
    Response response;
    response.status = request.status();
    response.contentLength = request.headers().getInt("Content-Length");
    response.finalUrl = request.finalUri().toString();
    char piece[7];
    while (const std::size_t got = request.body().read(piece, sizeof piece)) {
        response.body.append(piece, got);
    }
    EXPECT_EQ(request.body().read(piece, sizeof piece), 0u) << "the end stays the end";
    request.close();
    return response;
}

// The message of the error that fetch(url) throws; empty when it throws nothing.
std::string fetchError(const std::string& url, float timeout = 5.0f) {
    try {
        fetch(url, timeout);
    } catch (const runtime::Exception& e) {
        return e.message();
    }
    return {};
}

TEST(HttpClient, SendsAGetWithHostAndCloseAndReadsALengthBody) {
    TestServer server;
    server.start({{"/file?x=1", "HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\nhello world"}});

    const Response response = fetch(server.url("/file?x=1#fragment"));

    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.contentLength, 11);
    EXPECT_EQ(response.body, "hello world");
    const std::vector<std::string> requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::string& head = requests[0];
    EXPECT_EQ(head.substr(0, head.find("\r\n")), "GET /file?x=1 HTTP/1.1");
    EXPECT_THAT(head, HasSubstr(runtime::format("\r\nHost: 127.0.0.1:{}\r\n", server.port())));
    EXPECT_THAT(head, HasSubstr("\r\nConnection: close\r\n"));
    EXPECT_THAT(head, HasSubstr("\r\nUser-Agent: BrivolaInstaller\r\n"));
}

struct BodyCase {
    const char* name;
    std::string answer;
    int status;
    std::int64_t contentLength;
    std::string body;
};

// Test listings show the case's name rather than its bytes.
void PrintTo(const BodyCase& c, std::ostream* out) { *out << c.name; }

class HttpClientBody : public testing::TestWithParam<BodyCase> {};

TEST_P(HttpClientBody, ReadsTheWholeBody) {
    TestServer server;
    server.start({{"/", GetParam().answer}});

    const Response response = fetch(server.url("/"));

    EXPECT_EQ(response.status, GetParam().status);
    EXPECT_EQ(response.contentLength, GetParam().contentLength);
    EXPECT_EQ(response.body, GetParam().body);
}

// A body larger than the client's buffer, so reading crosses many receives.
const std::string bigBody = [] {
    std::string text;
    for (int i = 0; text.size() < 100 * 1024; ++i) {
        text += runtime::format("line {}\n", i);
    }
    return text;
}();

INSTANTIATE_TEST_SUITE_P(
    Framings, HttpClientBody,
    testing::Values(
        BodyCase{"Chunked",
                 "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                 "5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n",
                 200, -1, "hello world"},
        BodyCase{"ToTheClose", "HTTP/1.1 200 OK\r\n\r\nuntil the end", 200, -1, "until the end"},
        BodyCase{"NotFoundWithBody", "HTTP/1.1 404 Not Found\r\nContent-Length: 7\r\n\r\nmissing",
                 404, 7, "missing"},
        BodyCase{"EmptyWithLength", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", 200, 0, ""},
        BodyCase{"BytesAfterTheBodyIgnored", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcEXTRA",
                 200, 3, "abc"},
        BodyCase{"LargerThanTheBuffer",
                 runtime::format("HTTP/1.1 200 OK\r\nContent-Length: {}\r\n\r\n{}", bigBody.size(),
                                 bigBody),
                 200, static_cast<std::int64_t>(bigBody.size()), bigBody}),
    [](const testing::TestParamInfo<BodyCase>& info) { return info.param.name; });

TEST(HttpClient, FollowsARedirectChainWithAbsoluteAndRelativeLocations) {
    TestServer server;
    server.start({
        {"/start", "HTTP/1.1 301 Moved\r\nLocation: " + server.url("/dir/second") +
                       "\r\nContent-Length: 5\r\n\r\nmoved"},
        {"/dir/second", "HTTP/1.1 302 Found\r\nLocation: third?q=1\r\n\r\n"},
        {"/dir/third?q=1", "HTTP/1.1 303 See Other\r\nLocation: /fourth\r\n"
                           "Content-Length: 0\r\n\r\n"},
        {"/fourth", "HTTP/1.1 307 Temporary\r\nLocation: ../fifth\r\nContent-Length: 0\r\n\r\n"},
        {"/fifth", "HTTP/1.1 308 Permanent\r\nLocation: //127.0.0.1:" +
                       std::to_string(server.port()) + "/end\r\nContent-Length: 0\r\n\r\n"},
        {"/end", "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\ndone"},
    });

    const Response response = fetch(server.url("/start"));

    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, "done");
    EXPECT_EQ(response.finalUrl, server.url("/end"));
    EXPECT_EQ(server.requests().size(), 6u);
}

TEST(HttpClient, ARedirectWithoutLocationIsTheResponse) {
    TestServer server;
    server.start({{"/", "HTTP/1.1 302 Found\r\nContent-Length: 2\r\n\r\nno"}});

    const Response response = fetch(server.url("/"));

    EXPECT_EQ(response.status, 302);
    EXPECT_EQ(response.body, "no");
}

TEST(HttpClient, RedirectsUpToTheLimitAreFollowedAndOneMoreFails) {
    TestServer server;
    std::map<std::string, std::string> routes;
    const int last = HttpGet::maxRedirects + 1;
    for (int i = 0; i < last; ++i) {
        routes[runtime::format("/r{}", i)] = runtime::format(
            "HTTP/1.1 302 Found\r\nLocation: /r{}\r\nContent-Length: 0\r\n\r\n", i + 1);
    }
    routes[runtime::format("/r{}", last)] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
    server.start(routes);

    // From /r1 there are exactly maxRedirects to the end; from /r0 one more.
    EXPECT_EQ(fetch(server.url("/r1")).body, "ok");
    const std::string error = fetchError(server.url("/r0"));
    EXPECT_THAT(error, HasSubstr("Too many redirects"));
    EXPECT_THAT(error, HasSubstr(server.url("/r0")));
}

TEST(HttpClient, ARedirectLoopFails) {
    TestServer server;
    server.start({
        {"/a", "HTTP/1.1 302 Found\r\nLocation: /b\r\nContent-Length: 0\r\n\r\n"},
        {"/b", "HTTP/1.1 301 Moved\r\nLocation: /a\r\nContent-Length: 0\r\n\r\n"},
    });

    const std::string error = fetchError(server.url("/a"));

    EXPECT_THAT(error, HasSubstr("Redirect loop"));
    EXPECT_THAT(error, HasSubstr(server.url("/a")));
    EXPECT_EQ(server.requests().size(), 2u) << "the loop is seen before asking again";
}

struct FailureCase {
    const char* name;
    std::string answer;
    std::string errorPart;
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class HttpClientFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(HttpClientFailure, FailsWithAClearError) {
    TestServer server;
    server.start({{"/", GetParam().answer}});

    const std::string error = fetchError(server.url("/"));

    EXPECT_THAT(error, HasSubstr(GetParam().errorPart));
    EXPECT_THAT(error, HasSubstr(server.url("/")));
}

INSTANTIATE_TEST_SUITE_P(
    BrokenResponses, HttpClientFailure,
    testing::Values(
        // The body reads fail, not open(): what came is never taken for the whole.
        FailureCase{"BodyShorterThanItsLength", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc",
                    "Bad response"},
        FailureCase{"ChunkedBodyBrokenOff",
                    "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel",
                    "Bad response"},
        FailureCase{"MalformedStatusLine", "HTTP/1.1 abc Nonsense\r\n\r\n", "Bad response"},
        FailureCase{"NotHttp", "SSH-2.0-OpenSSH\r\n\r\n", "Bad response"},
        FailureCase{"HeadBrokenOff", "HTTP/1.1 200 OK\r\nContent-Le", "Bad response"},
        FailureCase{"NoAnswerAtAll", "", "Bad response"},
        FailureCase{"RedirectToAnotherScheme",
                    "HTTP/1.1 302 Found\r\nLocation: ftp://127.0.0.1/x\r\n\r\n", "ftp://"}),
    [](const testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST(HttpClient, ABodyFaultThatCameWithTheHeadFailsTheReadNotTheOpen) {
    // One send, so head and broken body most likely arrive in one piece; where the
    // network splits them must not matter.
    TestServer server;
    server.start({{"/", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                        "3\r\nabc\r\nzz\r\n0\r\n\r\n"}});
    HttpGet request(Uri::parse(server.url("/")));
    request.setTimeout(5.0f);

    ASSERT_NO_THROW(request.open());
    EXPECT_EQ(request.status(), 200);
    char piece[16];
    ASSERT_EQ(request.body().read(piece, sizeof piece), 3u);
    EXPECT_EQ(std::string(piece, 3), "abc");
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            request.body().read(piece, sizeof piece);
            ADD_FAILURE() << "a malformed chunk size line was read past";
        } catch (const runtime::Exception& e) {
            EXPECT_THAT(e.message(), HasSubstr("Bad response from " + server.url("/")));
            EXPECT_THAT(e.message(), HasSubstr("Malformed chunk size line \"zz\""));
        }
    }
}

TEST(HttpClient, AServerThatNeverAnswersTimesOut) {
    TestServer server;
    server.start({{"/", TestServer::hold}});

    const std::string error = fetchError(server.url("/"), 0.5f);

    EXPECT_THAT(error, HasSubstr("timed out"));
    EXPECT_THAT(error, HasSubstr(runtime::format("127.0.0.1:{}", server.port())));
}

TEST(HttpClient, ARefusedConnectionFails) {
    // Bound but not listening: the port is ours, and connecting to it is refused.
    std::uint16_t port = 0;
    Fd reserved(boundSocket(port));

    const std::string error = fetchError(runtime::format("http://127.0.0.1:{}/", port));

    EXPECT_THAT(error, HasSubstr(runtime::format("Cannot connect to 127.0.0.1:{}", port)));
}

TEST(HttpClient, CloseEndsTheBodyEarly) {
    TestServer server;
    server.start({{"/", "HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nabcdef"}});
    HttpGet request(Uri::parse(server.url("/")));
    request.open();
    char piece[2];
    ASSERT_EQ(request.body().read(piece, sizeof piece), 2u);

    request.body().close();

    EXPECT_EQ(request.body().read(piece, sizeof piece), 0u);
}

} // namespace
