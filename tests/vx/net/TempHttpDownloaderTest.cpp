// Download-to-temp and download-and-run against the loopback test server. Each test
// gets its own temporary folder (TMPDIR), so what a call leaves behind can be counted.
// The programs run are small shell scripts that record their arguments.
#include "vx/net/TempHttpDownloader.h"

#include "runtime/Exception.h"
#include "runtime/Format.h"
#include "runtime/Paths.h"
#include "support/CapturedLog.h"
#include "support/LoopbackServer.h"
#include "vx/Exception.h"
#include "vx/logger.h"
#include "vx/net/MonitoredHttpDownloader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing_support::CapturedLog;
using testing_support::TestServer;
using vx::net::TempHttpDownloader;

std::string ok(const std::string& body) {
    return runtime::format("HTTP/1.1 200 OK\r\nContent-Length: {}\r\n\r\n{}", body.size(), body);
}

const std::string notFound = "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found";

// Writes $0 and every argument, each ended by a zero byte, to $RECORD_ARGS_FILE and
// exits with $RECORD_EXIT_CODE.
const std::string recordArgs = "#!/bin/sh\n"
                               "for a in \"$0\" \"$@\"; do printf '%s\\0' \"$a\"; done"
                               " > \"$RECORD_ARGS_FILE\"\n"
                               "exit \"${RECORD_EXIT_CODE:-0}\"\n";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

class TempHttpDownloaderTest : public testing::Test {
protected:
    TempHttpDownloaderTest()
        : folder_(fs::temp_directory_path() /
                  runtime::format("tempdl-{}-{}",
                                  testing::UnitTest::GetInstance()->current_test_info()->name(),
                                  ::getpid())),
          temp_(folder_ / "tmp"), tmpdir_("TMPDIR", runtime::utf8FromPath(temp_)),
          record_("RECORD_ARGS_FILE", runtime::utf8FromPath(folder_ / "args")) {
        fs::remove_all(folder_);
        fs::create_directories(temp_);
    }
    ~TempHttpDownloaderTest() override { fs::remove_all(folder_); }

    // What the temporary folder holds.
    std::vector<fs::path> tempFiles() const {
        std::vector<fs::path> files;
        for (const fs::directory_entry& entry : fs::directory_iterator(temp_)) {
            files.push_back(entry.path());
        }
        return files;
    }

    // The arguments the last recording script was started with.
    std::vector<std::string> recordedArgs() const {
        const std::string text = readFile(folder_ / "args");
        std::vector<std::string> args;
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\0', start)) != std::string::npos;
             start = end + 1) {
            args.push_back(text.substr(start, end - start));
        }
        return args;
    }

    fs::path folder_;
    fs::path temp_;
    ScopedEnv tmpdir_;
    ScopedEnv record_;
    TestServer server_;
    CapturedLog log_;
    std::shared_ptr<vx::net::MonitoredHttpDownloader> http_ =
        std::make_shared<vx::net::MonitoredHttpDownloader>();
};

TEST_F(TempHttpDownloaderTest, DownloadToTempLeavesTheBodyInANewFileOfTheTemporaryFolder) {
    server_.start({{"/setup.exe", ok("installer bytes")}});
    TempHttpDownloader downloader(http_);

    const std::string first = downloader.downloadToTemp(server_.url("/setup.exe"));
    const std::vector<std::string> lines = log_.texts();
    const std::string second = downloader.downloadToTemp(server_.url("/setup.exe"));

    EXPECT_NE(first, second);
    EXPECT_EQ(runtime::pathFromUtf8(first).parent_path(), temp_);
    EXPECT_EQ(readFile(runtime::pathFromUtf8(first)), "installer bytes");
    EXPECT_EQ(readFile(runtime::pathFromUtf8(second)), "installer bytes");
    EXPECT_EQ(tempFiles().size(), 2u);
    EXPECT_THAT(lines, ElementsAre("Create temp file", "Reading stream", "Reading stream from url",
                                   "Performing request", "Create httpget",
                                   server_.url("/setup.exe"), "Set timeout", "Got the client",
                                   "Get input stream from http client", "Response callback is ok",
                                   "Copy stream from input", "Returning temp file"));
}

TEST_F(TempHttpDownloaderTest, A404GivesAnEmptyFileAndNoError) {
    server_.start({{"/missing", notFound}});
    TempHttpDownloader downloader(http_);

    const std::string path = downloader.downloadToTemp(server_.url("/missing"));

    EXPECT_TRUE(fs::exists(runtime::pathFromUtf8(path)));
    EXPECT_EQ(fs::file_size(runtime::pathFromUtf8(path)), 0u);
}

TEST_F(TempHttpDownloaderTest, ABodyCutShortFailsAndLeavesNoHalfFile) {
    server_.start({{"/cut", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789"}});
    TempHttpDownloader downloader(http_);

    EXPECT_THROW(downloader.downloadToTemp(server_.url("/cut")), runtime::Exception);

    EXPECT_TRUE(tempFiles().empty());
    EXPECT_THAT(log_.texts(), testing::Not(testing::Contains("Returning temp file")));
}

TEST_F(TempHttpDownloaderTest, RunsTheFileWithItsPathAndTheArgumentsExactly) {
    server_.start({{"/record.sh", ok(recordArgs)}});
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
    };
    const std::vector<Case> cases = {
        {"no arguments", {}, 0},
        {"silent switch", {"/S"}, 0},
        // An installer that fails is still a run that ended: nothing is thrown.
        {"failing installer", {"/q", "/norestart"}, 1},
        {"hard texts",
         {"", "two words", "say \"hi\"", "back\\slash\\", "tab\there", "line\nbreak", "$HOME *",
          "n\xC3\xAF\xC3\xB1o \xE2\x82\xAC"},
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv exitCode("RECORD_EXIT_CODE", std::to_string(c.exitCode));
        TempHttpDownloader downloader(http_);

        const TempHttpDownloader::RunResult result =
            downloader.downloadAndRun(server_.url("/record.sh"), c.args);

        EXPECT_EQ(result.outcome, TempHttpDownloader::ran);
        EXPECT_EQ(result.status, c.exitCode);
        const std::vector<std::string> got = recordedArgs();
        ASSERT_FALSE(got.empty());
        // The program is the temporary file, which is still there afterwards.
        EXPECT_EQ(runtime::pathFromUtf8(got[0]).parent_path(), temp_);
        EXPECT_EQ(readFile(runtime::pathFromUtf8(got[0])), recordArgs);
        EXPECT_THAT(std::vector<std::string>(got.begin() + 1, got.end()), ElementsAreArray(c.args));
    }
    EXPECT_EQ(tempFiles().size(), cases.size());
}

TEST_F(TempHttpDownloaderTest, BeforeRunComesBetweenDownloadAndStart) {
    server_.start({{"/record.sh", ok(recordArgs)}});
    TempHttpDownloader downloader(http_, [] { vx::logger::info("Please wait"); });

    downloader.downloadAndRun(server_.url("/record.sh"), {"/S"});

    const std::vector<std::string> lines = log_.texts();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines.front(), "Reading the file from url to file");
    EXPECT_THAT(std::vector<std::string>(lines.end() - 4, lines.end()),
                ElementsAre("Returning temp file", "Please wait", "Executing the downloaded file",
                            "Waiting for the executed file to complete"));
}

TEST_F(TempHttpDownloaderTest, AFileThatIsNoProgramIsAProcessError) {
    server_.start({{"/missing", notFound}, {"/text", ok("just some text, not a program\n")}});
    for (const char* target : {"/missing", "/text"}) {
        SCOPED_TRACE(target);
        bool beforeRun = false;
        TempHttpDownloader downloader(http_, [&] { beforeRun = true; });
        try {
            downloader.downloadAndRun(server_.url(target), {"/S"});
            FAIL() << "nothing can run";
        } catch (const vx::VXProcessException& e) {
            EXPECT_EQ(e.message(), "The downloaded file from " + server_.url(target) +
                                       " is not executing properly");
            EXPECT_THAT(runtime::describe(e.getCause()), testing::HasSubstr("Cannot start"));
        }
        // The download itself succeeded.
        EXPECT_TRUE(beforeRun);
        EXPECT_THAT(log_.texts(),
                    testing::Not(testing::Contains("Waiting for the executed file to complete")));
    }
    // The files stay, also after a failed start.
    EXPECT_EQ(tempFiles().size(), 2u);
}

TEST_F(TempHttpDownloaderTest, AFailedDownloadIsADownloadErrorAndRunsNothing) {
    server_.start({{"/cut", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n#!/bin/sh\n"}});
    // Bound but not listening: connecting is refused.
    std::uint16_t port = 0;
    testing_support::Fd reserved(testing_support::boundSocket(port));
    const std::string refused = runtime::format("http://127.0.0.1:{}/setup.exe", port);

    for (const std::string& url : {refused, server_.url("/cut")}) {
        SCOPED_TRACE(url);
        bool beforeRun = false;
        TempHttpDownloader downloader(http_, [&] { beforeRun = true; });
        try {
            downloader.downloadAndRun(url, {});
            FAIL() << "the download cannot succeed";
        } catch (const vx::VXDownloadException& e) {
            EXPECT_EQ(e.message(), "The file failed to download from " + url);
            EXPECT_TRUE(e.getCause() != nullptr);
        }
        EXPECT_FALSE(beforeRun);
    }
    EXPECT_TRUE(tempFiles().empty());
    EXPECT_THAT(log_.texts(), testing::Not(testing::Contains("Executing the downloaded file")));
}

} // namespace
