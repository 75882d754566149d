// Progress reports of the monitored downloader: over a scripted body stream for the
// exact call pattern, and against the loopback test server for whole downloads.
#include "vx/net/MonitoredHttpDownloader.h"

#include "runtime/Format.h"
#include "runtime/Paths.h"
#include "support/CapturedLog.h"
#include "support/LoopbackServer.h"
#include "vx/Exception.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using runtime::http::BodyStream;
using runtime::http::Headers;
using testing::ElementsAre;
using testing::Pair;
using testing_support::CapturedLog;
using testing_support::TestServer;
using vx::net::MonitoredHttpDownloader;
using vx::net::MonitoredInputStream;

using Call = std::pair<std::int32_t, std::int32_t>;

// Delivers the given pieces, one per read, then the end of data.
class ScriptedStream : public BodyStream {
public:
    explicit ScriptedStream(std::vector<std::string> pieces) : pieces_(std::move(pieces)) {}
    std::size_t read(char* buffer, std::size_t size) override {
        if (next_ == pieces_.size()) {
            return 0;
        }
        const std::string& piece = pieces_[next_++];
        EXPECT_LE(piece.size(), size);
        std::memcpy(buffer, piece.data(), piece.size());
        return piece.size();
    }
    void close() noexcept override { closed = true; }
    bool closed = false;

private:
    std::vector<std::string> pieces_;
    std::size_t next_ = 0;
};

std::string ok(const std::string& body) {
    return runtime::format("HTTP/1.1 200 OK\r\nContent-Length: {}\r\n\r\n{}", body.size(), body);
}

std::string drain(BodyStream& stream) {
    std::string out;
    char buffer[64];
    while (const std::size_t got = stream.read(buffer, sizeof buffer)) {
        out.append(buffer, got);
    }
    return out;
}

TEST(MonitoredInputStream, ReportsEachReadThatDeliveredDataWithTheRunningTotal) {
    // An empty piece is a read that delivered nothing (not the end): no call for it.
    ScriptedStream source({"abc", "", "defgh", "i"});
    Headers headers;
    headers.add("Content-Length", "9");
    std::vector<Call> calls;
    MonitoredInputStream stream(source, headers, [&](std::int32_t read, std::int32_t length) {
        calls.emplace_back(read, length);
    });

    char buffer[16];
    EXPECT_EQ(stream.read(buffer, sizeof buffer), 3u);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    EXPECT_EQ(stream.read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(stream.read(buffer, sizeof buffer), 5u);
    EXPECT_EQ(stream.read(buffer, sizeof buffer), 1u);
    EXPECT_EQ(stream.read(buffer, sizeof buffer), 0u); // the end: no call either

    EXPECT_THAT(calls, ElementsAre(Pair(3, 9), Pair(8, 9), Pair(9, 9)));
    stream.close();
    EXPECT_TRUE(source.closed);
}

TEST(MonitoredInputStream, ExpectedLengthIsMinusOneWithoutAUsableContentLength) {
    struct Case {
        const char* name;
        const char* header; // null: no Content-Length at all
        std::int32_t expected;
    };
    for (const Case& c :
         {Case{"absent", nullptr, -1}, Case{"not a number", "many", -1}, Case{"zero", "0", 0},
          // Past 32 bits the counter stops at its largest value.
          Case{"huge", "5000000000", 2147483647}}) {
        ScriptedStream source({"xy"});
        Headers headers;
        headers.add("Content-Type", "text/plain");
        if (c.header != nullptr) {
            headers.add("content-length", c.header);
        }
        std::vector<Call> calls;
        MonitoredInputStream stream(source, headers, [&](std::int32_t read, std::int32_t length) {
            calls.emplace_back(read, length);
        });
        EXPECT_EQ(drain(stream), "xy");
        EXPECT_THAT(calls, ElementsAre(Pair(2, c.expected))) << c.name;
    }
}

class MonitoredHttpDownloaderTest : public testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  runtime::format("monitored-{}-{}",
                                  testing::UnitTest::GetInstance()->current_test_info()->name(),
                                  ::getpid());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    // A downloader that records every progress call.
    MonitoredHttpDownloader recording() {
        return MonitoredHttpDownloader(
            [this](std::int32_t read, std::int32_t length) { calls_.emplace_back(read, length); });
    }

    fs::path folder_;
    TestServer server_;
    std::vector<Call> calls_;
};

std::string patterned(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        body[i] = static_cast<char>(i * 13 % 251);
    }
    return body;
}

TEST_F(MonitoredHttpDownloaderTest, ProgressAddsUpToTheBodyAndEndsAtTheTotal) {
    // Larger than the copy buffer and the client's buffer, so the body takes many reads.
    const std::string big = patterned(300 * 1024 + 5);
    server_.start({{"/big", ok(big)},
                   {"/chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                "4\r\nwiki\r\n5\r\npedia\r\n0\r\n\r\n"},
                   {"/to-close", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nuntil the end"}});
    struct Case {
        const char* target;
        std::string body;
        std::int32_t expected;
    };
    for (const Case& c :
         {Case{"/big", big, static_cast<std::int32_t>(big.size())},
          Case{"/chunked", "wikipedia", -1}, Case{"/to-close", "until the end", -1}}) {
        calls_.clear();
        MonitoredHttpDownloader downloader = recording();
        std::ostringstream output;

        downloader.copyTo(server_.url(c.target), output);

        EXPECT_TRUE(output.str() == c.body) << c.target;
        ASSERT_FALSE(calls_.empty()) << c.target;
        std::int32_t previous = 0;
        for (const Call& call : calls_) {
            EXPECT_GT(call.first, previous) << c.target;
            EXPECT_EQ(call.second, c.expected) << c.target;
            previous = call.first;
        }
        EXPECT_EQ(calls_.back().first, static_cast<std::int32_t>(c.body.size())) << c.target;
    }
}

TEST_F(MonitoredHttpDownloaderTest, NoProgressForAnEmptyBodyOrAnotherStatus) {
    server_.start({{"/empty", ok("")},
                   {"/missing", "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found"}});
    MonitoredHttpDownloader downloader = recording();
    const fs::path empty = folder_ / "empty.bin";
    const fs::path missing = folder_ / "missing.bin";

    downloader.downloadToFile(server_.url("/empty"), runtime::utf8FromPath(empty));
    downloader.downloadToFile(server_.url("/missing"), runtime::utf8FromPath(missing));

    EXPECT_TRUE(calls_.empty());
    EXPECT_TRUE(fs::exists(empty));
    EXPECT_FALSE(fs::exists(missing));
}

TEST_F(MonitoredHttpDownloaderTest, ABodyCutShortStillFailsAndLeavesNoFile) {
    server_.start({{"/cut", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789"}});
    MonitoredHttpDownloader downloader = recording();
    const fs::path target = folder_ / "cut.bin";

    EXPECT_THROW(downloader.downloadToFile(server_.url("/cut"), runtime::utf8FromPath(target)),
                 vx::VXFileException);

    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(fs::exists(runtime::utf8FromPath(target) + ".part"));
    // What did arrive was reported against the announced length, nothing more.
    ASSERT_FALSE(calls_.empty());
    EXPECT_EQ(calls_.back(), Call(10, 100));
}

TEST_F(MonitoredHttpDownloaderTest, WithoutAHandlerItDownloadsAsThePlainDownloader) {
    server_.start({{"/f", ok("plain body")}});
    auto run = [&](vx::net::http::HttpDownloader& downloader, const char* name) {
        CapturedLog log;
        const fs::path target = folder_ / name;
        downloader.downloadToFile(server_.url("/f"), runtime::utf8FromPath(target));
        std::ifstream in(target, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        std::vector<std::string> lines = log.texts();
        // The target's name differs; the rest of the trail must not.
        lines.push_back(content.str());
        return lines;
    };
    vx::net::http::HttpDownloader plain;
    MonitoredHttpDownloader monitored;

    const std::vector<std::string> expected = run(plain, "file.bin");
    const std::vector<std::string> got = run(monitored, "file.bin.2");

    ASSERT_EQ(got.size(), expected.size());
    EXPECT_EQ(got.back(), "plain body");
    for (std::size_t i = 0; i + 1 < got.size(); ++i) {
        const std::string& line = expected[i];
        if (line.rfind("File outputting to ", 0) == 0) {
            EXPECT_EQ(got[i], line + ".2");
        } else {
            EXPECT_EQ(got[i], line);
        }
    }
}

TEST_F(MonitoredHttpDownloaderTest, ANewHandlerTakesOverFromTheNextRequest) {
    server_.start({{"/f", ok("12345")}});
    std::vector<Call> second;
    MonitoredHttpDownloader downloader = recording();
    std::ostringstream output;

    downloader.copyTo(server_.url("/f"), output);
    downloader.setProgressHandler(
        [&](std::int32_t read, std::int32_t length) { second.emplace_back(read, length); });
    downloader.copyTo(server_.url("/f"), output);
    const std::size_t firstCalls = calls_.size();
    const std::size_t secondCalls = second.size();
    downloader.setProgressHandler(nullptr);
    downloader.copyTo(server_.url("/f"), output);

    EXPECT_EQ(output.str(), "123451234512345");
    ASSERT_GT(firstCalls, 0u);
    ASSERT_GT(secondCalls, 0u);
    EXPECT_EQ(calls_.back(), Call(5, 5));
    EXPECT_EQ(second.back(), Call(5, 5));
    // Neither handler hears of the last download.
    EXPECT_EQ(calls_.size(), firstCalls);
    EXPECT_EQ(second.size(), secondCalls);
}

} // namespace
