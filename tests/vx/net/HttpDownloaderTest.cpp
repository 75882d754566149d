// The downloader against the loopback test server, with files in a fresh folder.
#include "vx/net/http/HttpDownloader.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"
#include "runtime/Paths.h"
#include "support/CapturedLog.h"
#include "support/LoopbackServer.h"
#include "vx/Exception.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using runtime::Uri;
using runtime::http::BodyStream;
using testing::ElementsAre;
using testing::StartsWith;
using testing_support::CapturedLog;
using testing_support::TestServer;
using vx::net::http::HttpDownloader;
using vx::net::http::HttpRequest;

std::string ok(const std::string& body) {
    return runtime::format("HTTP/1.1 200 OK\r\nContent-Length: {}\r\n\r\n{}", body.size(), body);
}

const std::string notFound = "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found";
// Promises 100 bytes and closes after 10.
const std::string truncated = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// The text of a path as the downloader takes it.
std::string text(const fs::path& path) { return runtime::utf8FromPath(path); }

class HttpDownloaderTest : public testing::Test {
protected:
    void SetUp() override {
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path() /
                  runtime::format("downloader-{}-{}", info->name(), ::getpid());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path folder_;
    TestServer server_;
    CapturedLog log_;
    HttpDownloader downloader_;
};

TEST_F(HttpDownloaderTest, Stores200BodyInFileAndLogsEachStep) {
    server_.start({{"/movie.swf", ok("movie bytes")}});
    const fs::path target = folder_ / "movie.swf";

    downloader_.downloadToFile(server_.url("/movie.swf"), text(target));

    EXPECT_EQ(readFile(target), "movie bytes");
    EXPECT_FALSE(fs::exists(text(target) + ".part"));
    EXPECT_THAT(log_.texts(),
                ElementsAre("Performing request", "Create httpget", server_.url("/movie.swf"),
                            "Set timeout", "Got the client", "Get input stream from http client",
                            "Response callback is ok", "Parent created at " + text(folder_),
                            "File outputting to " + text(target), "File output complete"));
}

TEST_F(HttpDownloaderTest, A404LeavesNoFileAndRaisesNothing) {
    server_.start({{"/missing", notFound}});
    const fs::path target = folder_ / "missing.bin";

    downloader_.downloadToFile(server_.url("/missing"), text(target));

    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(fs::exists(text(target) + ".part"));
    const std::vector<std::string> lines = log_.texts();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "Response callback is not ok");
}

TEST_F(HttpDownloaderTest, A404LeavesAnExistingFileAsItWas) {
    server_.start({{"/missing", notFound}});
    const fs::path target = folder_ / "kept.bin";
    writeFile(target, "earlier");

    downloader_.downloadToFile(server_.url("/missing"), text(target));

    EXPECT_EQ(readFile(target), "earlier");
}

TEST_F(HttpDownloaderTest, CreatesTheFolderChain) {
    server_.start({{"/f", ok("deep")}});
    const fs::path target = folder_ / "a" / "b" / "c" / "file.txt";

    downloader_.downloadToFile(server_.url("/f"), text(target));

    EXPECT_EQ(readFile(target), "deep");
    EXPECT_THAT(log_.texts(), testing::Contains("Parent created at " + text(target.parent_path())));
}

TEST_F(HttpDownloaderTest, ReplacesAnExistingFileEntirely) {
    server_.start({{"/f", ok("short")}});
    const fs::path target = folder_ / "file.txt";
    writeFile(target, "a much longer earlier content");

    downloader_.downloadToFile(server_.url("/f"), text(target));

    EXPECT_EQ(readFile(target), "short");
    // The file was there, so no folder is made.
    EXPECT_THAT(log_.texts(), testing::Not(testing::Contains(StartsWith("Parent created at "))));
}

TEST_F(HttpDownloaderTest, CopiesABodyWithoutLengthToTheEndOfTheConnection) {
    server_.start({{"/f", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nto the very end"}});
    const fs::path target = folder_ / "file.txt";

    downloader_.downloadToFile(server_.url("/f"), text(target));

    EXPECT_EQ(readFile(target), "to the very end");
}

TEST_F(HttpDownloaderTest, StoresABodyLargerThanOneBuffer) {
    std::string big(300 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 7 % 251);
    }
    server_.start({{"/big", ok(big)}});
    const fs::path target = folder_ / "big.bin";

    downloader_.downloadToFile(server_.url("/big"), text(target));

    EXPECT_TRUE(readFile(target) == big);
}

TEST_F(HttpDownloaderTest, ATruncatedBodyKeepsTheEarlierFileAndLeavesNoPart) {
    server_.start({{"/cut", truncated}});
    const fs::path target = folder_ / "file.txt";
    writeFile(target, "earlier");

    try {
        downloader_.downloadToFile(server_.url("/cut"), text(target));
        FAIL() << "a short body must fail";
    } catch (const vx::VXFileException& e) {
        EXPECT_EQ(e.message(), "Unable to write to the file at " + text(target));
        EXPECT_TRUE(e.getCause() != nullptr);
    }

    EXPECT_EQ(readFile(target), "earlier");
    EXPECT_FALSE(fs::exists(text(target) + ".part"));
    EXPECT_THAT(log_.texts(), testing::Not(testing::Contains("File output complete")));
}

TEST_F(HttpDownloaderTest, ATruncatedBodyToANewTargetLeavesNoFile) {
    server_.start({{"/cut", truncated}});
    const fs::path target = folder_ / "new.txt";

    EXPECT_THROW(downloader_.downloadToFile(server_.url("/cut"), text(target)),
                 vx::VXFileException);

    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(fs::exists(text(target) + ".part"));
}

TEST_F(HttpDownloaderTest, AFolderThatCannotBeMadeIsAFileError) {
    server_.start({{"/f", ok("x")}});
    // A plain file stands where the folder should go.
    writeFile(folder_ / "blocker", "");
    const std::string target = text(folder_ / "blocker" / "sub" / "file.txt");

    try {
        downloader_.downloadToFile(server_.url("/f"), target);
        FAIL() << "no folder can be made under a file";
    } catch (const vx::VXFileException& e) {
        EXPECT_EQ(e.message(), "Unable to create the file at " + target);
        EXPECT_TRUE(e.getCause() != nullptr);
    }
}

TEST_F(HttpDownloaderTest, GetContentReturnsTheBodyOnlyFor200) {
    server_.start(
        {{"/text", ok("some text")},
         {"/empty", ok("")},
         {"/missing", notFound},
         {"/moved", "HTTP/1.1 302 Found\r\nLocation: /text\r\nContent-Length: 0\r\n\r\n"}});
    struct Case {
        const char* target;
        const char* expected;
    };
    for (const Case& c : {Case{"/text", "some text"}, Case{"/empty", ""}, Case{"/missing", ""},
                          Case{"/moved", "some text"}}) {
        EXPECT_EQ(downloader_.getContent(server_.url(c.target)), c.expected) << c.target;
    }
}

TEST_F(HttpDownloaderTest, GetContentOfATruncatedBodyFails) {
    server_.start({{"/cut", truncated}});

    EXPECT_THROW(downloader_.getContent(server_.url("/cut")), runtime::Exception);
}

TEST_F(HttpDownloaderTest, ARefusedConnectionIsADownloadError) {
    // Bound but not listening: connecting to it is refused.
    std::uint16_t port = 0;
    testing_support::Fd reserved(testing_support::boundSocket(port));
    const std::string url = runtime::format("http://127.0.0.1:{}/file", port);

    try {
        downloader_.downloadToFile(url, text(folder_ / "file.txt"));
        FAIL() << "nothing listens there";
    } catch (const vx::VXDownloadException& e) {
        EXPECT_THAT(e.message(), StartsWith("Getting an input stream for "));
        EXPECT_EQ(e.message(), "Getting an input stream for " + url + " failed");
        EXPECT_TRUE(e.getCause() != nullptr);
    }
    EXPECT_FALSE(fs::exists(folder_ / "file.txt"));
}

TEST_F(HttpDownloaderTest, CopyToWritesTheBodyIntoTheStream) {
    server_.start({{"/f", ok("copied")}, {"/missing", notFound}});
    std::ostringstream output;

    downloader_.copyTo(server_.url("/f"), output);
    downloader_.copyTo(server_.url("/missing"), output);

    EXPECT_EQ(output.str(), "copied");
    const std::vector<std::string> lines = log_.texts();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front(), "Reading stream from url");
    EXPECT_THAT(lines, testing::Contains("Copy stream from input").Times(1));
}

struct CallerFault {};

TEST_F(HttpDownloaderTest, ACallersFailurePropagatesUnchanged) {
    server_.start({{"/f", ok("body")}});
    const Uri uri = Uri::parse(server_.url("/f"));
    const HttpDownloader::Configure throwing = [](HttpRequest&) { throw CallerFault{}; };
    const HttpDownloader::Handler throwingHandler = [](HttpRequest&, BodyStream&) {
        throw CallerFault{};
    };

    EXPECT_THROW(downloader_.performRequest(uri, throwing, nullptr), CallerFault);
    EXPECT_THROW(downloader_.performRequest(uri, nullptr, throwingHandler), CallerFault);
}

TEST_F(HttpDownloaderTest, ConfigureSeesTheRequestBeforeItIsSent) {
    server_.start({{"/f", ok("body")}});
    std::string seen;
    float timeout = 0;

    downloader_.performRequest(
        Uri::parse(server_.url("/f")),
        [&](HttpRequest& request) {
            timeout = request.timeout();
            EXPECT_TRUE(server_.requests().empty());
        },
        [&](HttpRequest&, BodyStream& stream) {
            char buffer[16];
            while (const std::size_t got = stream.read(buffer, sizeof buffer)) {
                seen.append(buffer, got);
            }
        });

    EXPECT_EQ(timeout, 30.0f);
    EXPECT_EQ(seen, "body");
}

// Counts what the handler reads, as a progress reporter would.
class CountingDownloader : public HttpDownloader {
public:
    std::size_t counted = 0;
    std::int64_t expected = 0;

protected:
    class Counting : public BodyStream {
    public:
        Counting(BodyStream& body, std::size_t& count) : body_(body), count_(count) {}
        std::size_t read(char* buffer, std::size_t size) override {
            const std::size_t got = body_.read(buffer, size);
            count_ += got;
            return got;
        }
        void close() noexcept override { body_.close(); }

    private:
        BodyStream& body_;
        std::size_t& count_;
    };

    std::unique_ptr<BodyStream> wrapStream(BodyStream& body,
                                           const runtime::http::Headers& headers) override {
        expected = headers.getInt("Content-Length");
        return std::make_unique<Counting>(body, counted);
    }
};

TEST_F(HttpDownloaderTest, TheWrappedStreamIsWhatTheHandlerReads) {
    server_.start({{"/f", ok("twelve bytes")}});
    CountingDownloader downloader;
    std::ostringstream output;

    downloader.copyTo(server_.url("/f"), output);

    EXPECT_EQ(output.str(), "twelve bytes");
    EXPECT_EQ(downloader.counted, 12u);
    EXPECT_EQ(downloader.expected, 12);
}

} // namespace
