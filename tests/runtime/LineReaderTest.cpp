#include "runtime/LineReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Feeds `data` in reads of the given sizes (the last size repeats), never more than
// the reader asks for.
std::vector<std::string> linesOf(const std::string& data, std::vector<std::size_t> reads) {
    std::size_t at = 0;
    std::size_t turn = 0;
    std::vector<std::string> lines;
    runtime::readLines(
        [&](char* buffer, std::size_t size) {
            const std::size_t want = reads[std::min(turn++, reads.size() - 1)];
            const std::size_t n = std::min({want, size, data.size() - at});
            std::memcpy(buffer, data.data() + at, n);
            at += n;
            return n;
        },
        [&](const std::string& line) { lines.push_back(line); });
    return lines;
}

using Lines = std::vector<std::string>;

TEST(LineReader, SplitsAtLineFeedsWhereverTheReadsEnd) {
    struct Case {
        const char* name;
        std::string data;
        std::vector<std::size_t> reads;
        Lines expected;
    };
    const Case cases[] = {
        {"CR LF in one read", "a\r\nb\r\n", {100}, {"a", "b"}},
        {"CR LF split across reads", "ab\r\ncd\r\n", {3, 1, 100}, {"ab", "cd"}},
        {"byte by byte", "x\r\ny\n", {1}, {"x", "y"}},
        {"LF alone", "a\nb\n", {100}, {"a", "b"}},
        {"last line without end", "a\r\nlast", {2}, {"a", "last"}},
        {"empty lines kept", "\r\n\n\r\nz\n", {1}, {"", "", "", "z"}},
        {"a lone CR stays", "a\rb\n", {100}, {"a\rb"}},
        {"CR at the very end stays", "a\r", {1}, {"a\r"}},
        {"nothing", "", {100}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(linesOf(c.data, c.reads), c.expected) << c.name;
    }
}

TEST(LineReader, LongLinesAndManyLinesArriveWholeAndInOrder) {
    std::string data;
    const std::string big(3 * 1024 * 1024 + 17, 'q');
    data += big + "\r\n";
    for (int i = 0; i < 100000; ++i) {
        data += "line " + std::to_string(i) + "\r\n";
    }
    const Lines lines = linesOf(data, {7000, 65536});
    ASSERT_EQ(lines.size(), 100001u);
    EXPECT_EQ(lines[0], big);
    for (int i = 0; i < 100000; ++i) {
        ASSERT_EQ(lines[static_cast<std::size_t>(i) + 1], "line " + std::to_string(i));
    }
}

} // namespace
