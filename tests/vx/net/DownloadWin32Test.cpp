// The download layer under Wine against the content server with its fault routes. The
// server is started by the test run (a ctest fixture) on a free port and serves
// CONTENT_FOLDER/root: payload.bin and a copy of record_args.exe.
#include "runtime/Exception.h"
#include "runtime/Format.h"
#include "runtime/Paths.h"
#include "runtime/win32/WinText.h"
#include "support/win32/TestPaths.h"
#include "vx/Exception.h"
#include "vx/net/MonitoredHttpDownloader.h"
#include "vx/net/TempHttpDownloader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing::StartsWith;
using testing_support::ScopedEnvironment;
using testing_support::wineVisible;
using vx::net::MonitoredHttpDownloader;
using vx::net::TempHttpDownloader;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string text(const fs::path& path) {
    return runtime::utf8FromPath(path);
}

// Gives up on a silent server after a second instead of the usual thirty.
class ImpatientDownloader : public MonitoredHttpDownloader {
protected:
    std::unique_ptr<vx::net::http::HttpRequest> createRequest(const runtime::Uri& uri) override {
        return std::make_unique<vx::net::http::HttpRequest>(uri, 1.0f);
    }
};

class ContentServerTest : public testing::Test {
protected:
    void SetUp() override {
        const std::string content = wineVisible(CONTENT_FOLDER);
        std::ifstream portFile(runtime::pathFromUtf8(content + "\\port"));
        int port = 0;
        ASSERT_TRUE(portFile >> port) << "the content server is not running";
        base_ = runtime::format("http://127.0.0.1:{}", port);
        payload_ = readFile(runtime::pathFromUtf8(content + "\\root\\payload.bin"));
        ASSERT_FALSE(payload_.empty());

        folder_ = fs::temp_directory_path() /
                  runtime::format("download-{}-{}",
                                  testing::UnitTest::GetInstance()->current_test_info()->name(),
                                  GetCurrentProcessId());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string url(const std::string& target) const { return base_ + target; }

    std::string base_;
    std::string payload_;
    fs::path folder_;
};

TEST_F(ContentServerTest, EveryWayOfDeliveringTheBodyGivesTheWholeFile) {
    struct Case {
        const char* target;
        bool hasLength;
    };
    for (const Case& c : {Case{"/payload.bin", true}, Case{"/_fault/chunked/payload.bin", false},
                          Case{"/_fault/no-length/payload.bin", false},
                          Case{"/_fault/redirect/3/payload.bin", true},
                          Case{"/_fault/redirect-abs/2/payload.bin", true}}) {
        SCOPED_TRACE(c.target);
        std::vector<std::pair<std::int32_t, std::int32_t>> calls;
        MonitoredHttpDownloader downloader(
            [&](std::int32_t read, std::int32_t length) { calls.emplace_back(read, length); });
        const fs::path target = folder_ / "sub" / "payload.bin";

        downloader.downloadToFile(url(c.target), text(target));

        EXPECT_TRUE(readFile(target) == payload_);
        ASSERT_FALSE(calls.empty());
        const auto size = static_cast<std::int32_t>(payload_.size());
        EXPECT_EQ(calls.back().first, size);
        EXPECT_EQ(calls.back().second, c.hasLength ? size : -1);
        fs::remove(target);
    }
}

TEST_F(ContentServerTest, ABodyThatBreaksOffLeavesNoFile) {
    for (const char* route : {"/_fault/short/payload.bin", "/_fault/chunked-cut/payload.bin",
                              "/_fault/drop/payload.bin"}) {
        SCOPED_TRACE(route);
        MonitoredHttpDownloader downloader;
        const fs::path target = folder_ / "payload.bin";
        try {
            downloader.downloadToFile(url(route), text(target));
            ADD_FAILURE() << "a broken body must fail";
        } catch (const vx::VXFileException& e) {
            EXPECT_EQ(e.message(), "Unable to write to the file at " + text(target));
            EXPECT_TRUE(e.getCause() != nullptr);
        }
        EXPECT_FALSE(fs::exists(target));
        EXPECT_FALSE(fs::exists(text(target) + ".part"));
    }
}

TEST_F(ContentServerTest, AnotherStatusLeavesNoFileAndRaisesNothing) {
    for (const char* route : {"/not-there.bin", "/_fault/status/500", "/_fault/status/403"}) {
        SCOPED_TRACE(route);
        MonitoredHttpDownloader downloader;
        const fs::path target = folder_ / "file.bin";

        downloader.downloadToFile(url(route), text(target));

        EXPECT_FALSE(fs::exists(target));
        EXPECT_EQ(downloader.getContent(url(route)), "");
    }
}

TEST_F(ContentServerTest, ABrokenOrHostileHeadIsADownloadError) {
    for (const char* route : {"/_fault/redirect-loop", "/_fault/bad-status", "/_fault/bad-header",
                              "/_fault/huge-header", "/_fault/bad-length", "/_fault/silent"}) {
        SCOPED_TRACE(route);
        ImpatientDownloader downloader;
        const fs::path target = folder_ / "file.bin";
        try {
            downloader.downloadToFile(url(route), text(target));
            ADD_FAILURE() << "the request must fail";
        } catch (const vx::VXDownloadException& e) {
            EXPECT_EQ(e.message(), "Getting an input stream for " + url(route) + " failed");
            EXPECT_TRUE(e.getCause() != nullptr);
        }
        EXPECT_FALSE(fs::exists(target));
    }
}

class DownloadAndRunTest : public ContentServerTest {
protected:
    void SetUp() override {
        ContentServerTest::SetUp();
        record_ = folder_ / "args.txt";
    }

    // record_args's arguments; the program writes one "<count>:<bytes>\n" each.
    std::vector<std::string> recorded() const {
        const std::string record = readFile(record_);
        std::vector<std::string> args;
        for (std::size_t at = 0; at < record.size();) {
            const std::size_t colon = record.find(':', at);
            const std::size_t length = std::stoul(record.substr(at, colon - at));
            args.push_back(record.substr(colon + 1, length));
            at = colon + 2 + length;
        }
        return args;
    }

    fs::path record_;
};

TEST_F(DownloadAndRunTest, RunsTheDownloadedProgramWithItsPathAndTheArguments) {
    const ScopedEnvironment recordEnv(L"RECORD_ARGS_FILE", text(record_));
    struct Case {
        std::vector<std::string> args;
        int exitCode;
    };
    for (const Case& c : {Case{{"/S"}, 0}, Case{{}, 0}, Case{{"/q", "/norestart"}, 1}}) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const ScopedEnvironment exitCode(L"RECORD_EXIT_CODE", std::to_string(c.exitCode));
        bool beforeRun = false;
        TempHttpDownloader downloader(std::make_shared<MonitoredHttpDownloader>(),
                                      [&] { beforeRun = true; });

        const TempHttpDownloader::RunResult result =
            downloader.downloadAndRun(url("/record_args.exe"), c.args);

        EXPECT_TRUE(beforeRun);
        EXPECT_EQ(result.outcome, TempHttpDownloader::ran);
        EXPECT_EQ(result.status, c.exitCode);
        const std::vector<std::string> args = recorded();
        ASSERT_EQ(args.size(), c.args.size() + 1);
        EXPECT_EQ(std::vector<std::string>(args.begin() + 1, args.end()), c.args);
        // The program was a new file in the temporary folder, and it is still there.
        const fs::path program = runtime::pathFromUtf8(args[0]);
        EXPECT_EQ(program, fs::temp_directory_path() / program.filename());
        EXPECT_TRUE(fs::exists(program));
        EXPECT_EQ(fs::file_size(program),
                  fs::file_size(runtime::pathFromUtf8(wineVisible(CONTENT_FOLDER) +
                                                      "\\root\\record_args.exe")));
        fs::remove(program);
    }
}

TEST_F(DownloadAndRunTest, WhatCannotRunIsAProcessErrorAndWhatCannotDownloadADownloadError) {
    TempHttpDownloader downloader(std::make_shared<ImpatientDownloader>());
    try {
        // A 404 gives an empty file, which is no program.
        downloader.downloadAndRun(url("/no-installer.exe"), {"/S"});
        ADD_FAILURE() << "an empty file cannot run";
    } catch (const vx::VXProcessException& e) {
        EXPECT_EQ(e.message(), "The downloaded file from " + url("/no-installer.exe") +
                                   " is not executing properly");
        EXPECT_THAT(runtime::describe(e.getCause()), StartsWith("Cannot start the program "));
    }
    for (const char* route : {"/_fault/silent", "/_fault/short/record_args.exe"}) {
        try {
            downloader.downloadAndRun(url(route), {"/S"});
            ADD_FAILURE() << route << " cannot download";
        } catch (const vx::VXDownloadException& e) {
            EXPECT_EQ(e.message(), "The file failed to download from " + url(route));
            EXPECT_TRUE(e.getCause() != nullptr);
        }
    }
}

} // namespace
