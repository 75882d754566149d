// Starting programs under Wine: arguments must arrive exactly as given, whatever they
// hold, and exit codes must come back whole. The program started is record_args.
#include "runtime/Process.h"

#include "runtime/Exception.h"
#include "runtime/Paths.h"
#include "support/win32/TestPaths.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using runtime::Process;
using testing_support::ScopedEnvironment;
using testing_support::wineVisible;

// Reads what record_args wrote: "<byte count>:<bytes>\n" per argument.
std::vector<std::string> readRecord(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    std::vector<std::string> args;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t colon = text.find(':', at);
        if (colon == std::string::npos) {
            ADD_FAILURE() << "malformed record: " << text;
            break;
        }
        const std::size_t length = std::stoul(text.substr(at, colon - at));
        args.push_back(text.substr(colon + 1, length));
        at = colon + 1 + length + 1; // and the line feed
    }
    return args;
}

class ProcessTest : public testing::Test {
protected:
    ProcessTest()
        : record_(fs::temp_directory_path() /
                  ("record-" + std::to_string(GetCurrentProcessId()) + ".txt")),
          recordEnv_(L"RECORD_ARGS_FILE", runtime::utf8FromPath(record_)) {
        fs::remove(record_);
    }
    ~ProcessTest() override { fs::remove(record_); }

    const std::string program_ = wineVisible(RECORD_ARGS_EXE);
    fs::path record_;
    ScopedEnvironment recordEnv_;
};

TEST_F(ProcessTest, EveryArgumentArrivesExactly) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"/S"},
        {""},
        {"", "", "x", ""},
        {"two words", "\ttab", "new\nline"},
        {"say \"hi\"", "\"", "\"\"", "a\"b\"c"},
        // Backslashes are literal unless a quote follows them, also the closing one.
        {"C:\\path\\to\\dir\\", "C:\\path with blank\\", "\\\\server\\share", "\\"},
        {"back\\\"quote", "two\\\\\"quotes", "end\\\\"},
        {"n\xC3\xAF\xC3\xB1o", "\xE2\x82\xAC 5", "\xF0\x9F\x98\x80"},
        {"%PATH%", "^&|<>", "*?", "-opt=\"a b\""},
    };
    for (const std::vector<std::string>& args : cases) {
        std::vector<std::string> command{program_};
        command.insert(command.end(), args.begin(), args.end());

        Process process = Process::start(command);
        const Process::Exit exit = process.wait();

        EXPECT_EQ(exit.kind, Process::Exit::Kind::Ended);
        EXPECT_EQ(exit.code, 0);
        EXPECT_EQ(readRecord(record_), command);
    }
}

TEST_F(ProcessTest, ExitCodesComeBackWhole) {
    for (const int code : {0, 1, 3010, -1}) {
        ScopedEnvironment exitCode(L"RECORD_EXIT_CODE", std::to_string(code));
        Process process = Process::start({program_});

        const Process::Exit exit = process.wait();

        EXPECT_EQ(exit.kind, Process::Exit::Kind::Ended) << code;
        EXPECT_EQ(exit.code, code);
        // Waiting again has no program left to wait for.
        const Process::Exit again = process.wait();
        EXPECT_EQ(again.kind, Process::Exit::Kind::WaitFailed);
        EXPECT_EQ(again.code, -1);
    }
}

TEST_F(ProcessTest, WhatCannotStartThrowsWithTheSystemError) {
    const fs::path empty = fs::temp_directory_path() / "not-a-program.exe";
    std::ofstream(empty).close();
    const fs::path text = fs::temp_directory_path() / "text.exe";
    std::ofstream(text) << "plain text, no program";
    for (const std::string& path : {std::string("C:\\no\\such\\program.exe"),
                                    runtime::utf8FromPath(empty), runtime::utf8FromPath(text)}) {
        try {
            Process::start({path, "/S"});
            ADD_FAILURE() << path << " started";
        } catch (const runtime::Exception& e) {
            EXPECT_THAT(e.message(), testing::StartsWith("Cannot start the program " + path));
            EXPECT_THAT(e.message(), testing::HasSubstr("system error"));
        }
    }
    fs::remove(empty);
    fs::remove(text);
    EXPECT_THROW(Process::start({}), runtime::Exception);
}

} // namespace
