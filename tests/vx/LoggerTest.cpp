#include "vx/logger.h"

#include "support/CapturedLog.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using testing_support::CapturedLog;

TEST(Logger, LineLayout) {
    CapturedLog log;
    vx::logger::info("Starting Message Loop");
    vx::logger::info(static_cast<const char*>(nullptr));
    vx::logger::info(std::string_view());
    vx::logger::info("");
    vx::logger::info("Downloaded {} of {}", 10, 20);
    vx::logger::info(std::string("Parent created at C:/x"));
    const std::vector<std::string> expected = {
        "INFO: Starting Message Loop\n", "INFO: <NULL>\n", "INFO: <NULL>\n",
        "INFO: \n",                      "INFO: Downloaded 10 of 20\n",
        "INFO: Parent created at C:/x\n",
    };
    EXPECT_EQ(log.lines(), expected);
}

TEST(Logger, FinishedTextsWithBracesPassThrough) {
    CapturedLog log;
    vx::logger::info(std::string("<invoke name=\"f\">{}{0}</invoke>"));
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0], "INFO: <invoke name=\"f\">{}{0}</invoke>\n");
}

TEST(Logger, Labels) {
    using vx::logger::Level;
    EXPECT_EQ(vx::logger::label(Level::Trace), "TRACE");
    EXPECT_EQ(vx::logger::label(Level::Info), "INFO");
    EXPECT_EQ(vx::logger::label(Level::Warn), "WARN");
    EXPECT_EQ(vx::logger::label(Level::Error), "ERROR");
}

TEST(Logger, LinesFromManyThreadsNeverMix) {
    CapturedLog log;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) {
                vx::logger::info("thread {} line {}", t, i);
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 800u);
    for (const std::string& line : lines) {
        EXPECT_EQ(line.rfind("INFO: thread ", 0), 0u) << line;
        EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
    }
}

} // namespace
